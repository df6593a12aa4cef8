#include "song/unsaved.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/paths.h"

namespace {

constexpr std::string_view kPrefix = "unsaved-";
constexpr std::string_view kSuffix = ".svl";
constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

// Where a kept song stands among the others: its time, then its number within
// that second (1 for the first, which has none in its name). Names of other
// forms are not ours and are left alone.
struct Kept {
  std::string stamp;
  int number = 0;
  std::filesystem::path path;
};

bool ParseKept(const std::filesystem::path& path, Kept& kept) {
  const std::string name = path.filename().string();
  if (name.size() < kPrefix.size() + kStampLength + kSuffix.size() ||
      name.compare(0, kPrefix.size(), kPrefix) != 0 ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return false;
  }
  kept.stamp = name.substr(kPrefix.size(), kStampLength);
  const std::string_view rest(name.data() + kPrefix.size() + kStampLength,
                              name.size() - kPrefix.size() - kStampLength - kSuffix.size());
  kept.number = 1;
  if (!rest.empty()) {
    if (rest[0] != '-') return false;
    const auto [end, ec] = std::from_chars(rest.data() + 1, rest.data() + rest.size(), kept.number);
    if (ec != std::errc() || end != rest.data() + rest.size() || kept.number < 2) return false;
  }
  kept.path = path;
  return true;
}

void RemoveAllButTheNewest(const std::string& folder) {
  std::vector<Kept> all;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    Kept kept;
    if (entry.is_regular_file(ec) && ParseKept(entry.path(), kept)) all.push_back(kept);
  }
  if (all.size() <= static_cast<size_t>(kUnsavedKept)) return;
  std::sort(all.begin(), all.end(), [](const Kept& a, const Kept& b) {
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.number < b.number;
  });
  for (size_t i = 0; i + kUnsavedKept < all.size(); ++i) {
    std::filesystem::remove(all[i].path, ec);
  }
}

enum class Move { Done, NameTaken, Failed };

// rename(2) that never replaces a file already there.
Move MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return Move::Done;
  }
  if (errno == EEXIST) return Move::NameTaken;
  if (errno != EINVAL && errno != ENOSYS) return Move::Failed;
  // A filesystem without the flag: look first, then move.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return Move::NameTaken;
  return ::rename(from.c_str(), to.c_str()) == 0 ? Move::Done : Move::Failed;
}

}  // namespace

std::string UnsavedFolder() {
  return workDir + "unsaved/";
}

std::string KeepUnsaved(const std::string& path, std::time_t now) {
  const std::string folder = UnsavedFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[kStampLength + 1] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = folder + std::string(kPrefix) + stamp;
  // Never more tries than there could be kept songs, plus the one moving in.
  for (int number = 1; number <= kUnsavedKept + 1; ++number) {
    const std::string name =
        base + (number == 1 ? "" : "-" + std::to_string(number)) + std::string(kSuffix);
    const Move move = MoveWithoutReplacing(path, name);
    if (move == Move::Done) {
      RemoveAllButTheNewest(folder);
      return name;
    }
    if (move == Move::Failed) return {};
  }
  return {};
}
