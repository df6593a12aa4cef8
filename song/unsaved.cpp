#include "song/unsaved.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/file_handle.h"
#include "base/paths.h"

namespace {

constexpr std::string_view kPrefix = "unsaved-";
constexpr std::string_view kSuffix = ".svl";
constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

// Whether the name is one KeepUnsaved gives: unsaved-YYYYMMDD-HHMMSS[-N].svl,
// N from 2. Names of other forms are not ours and are left alone.
bool IsKeptName(const std::string& name) {
  if (name.size() < kPrefix.size() + kStampLength + kSuffix.size() ||
      name.compare(0, kPrefix.size(), kPrefix) != 0 ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return false;
  }
  const std::string_view rest(name.data() + kPrefix.size() + kStampLength,
                              name.size() - kPrefix.size() - kStampLength - kSuffix.size());
  if (rest.empty()) return true;
  int number = 0;
  const auto [end, ec] = std::from_chars(rest.data() + 1, rest.data() + rest.size(), number);
  return rest[0] == '-' && ec == std::errc() && end == rest.data() + rest.size() && number >= 2;
}

struct Kept {
  std::filesystem::path path;
  timespec modified{};
};

// Newest first. The names only break ties: their stamps are local time, which a
// time-zone change or a clock set back reorders, while a modification time moves
// only when the song is kept or written into again.
bool NewerThan(const Kept& a, const Kept& b) {
  if (a.modified.tv_sec != b.modified.tv_sec) return a.modified.tv_sec > b.modified.tv_sec;
  if (a.modified.tv_nsec != b.modified.tv_nsec) return a.modified.tv_nsec > b.modified.tv_nsec;
  const std::string an = a.path.filename().string();
  const std::string bn = b.path.filename().string();
  // "-2" and later sort after the plain name of their second.
  return an.size() != bn.size() ? an.size() > bn.size() : an > bn;
}

// Removes the file unless another program (or another window) has it open as
// its song; the lock is held while the name goes, so it cannot be taken in between.
void RemoveUnlessHeld(const std::filesystem::path& path) {
  const FileHandle file = FileHandle::Open(path.string(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (!file.IsOpen() || file.TryLock() == FileHandle::Lock::HeldElsewhere) return;
  ::unlink(path.c_str());
}

void RemoveAllButTheNewest(const std::string& folder, const std::string& justKept) {
  std::vector<Kept> all;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    struct stat st {};
    if (!IsKeptName(entry.path().filename().string()) || ::lstat(entry.path().c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
      continue;
    }
    // The song just moved in is the newest whatever its times say.
    if (entry.path().string() == justKept) continue;
    all.push_back({entry.path(), st.st_mtim});
  }
  std::sort(all.begin(), all.end(), NewerThan);
  for (size_t i = kUnsavedKept - 1; i < all.size(); ++i) RemoveUnlessHeld(all[i].path);
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
      // Its place in the rotation is when it was kept, not when it was last written.
      const timespec times[2] = {{0, UTIME_OMIT}, {now, 0}};
      ::utimensat(AT_FDCWD, name.c_str(), times, 0);
      RemoveAllButTheNewest(folder, name);
      return name;
    }
    if (move == Move::Failed) return {};
  }
  return {};
}

bool IsKeptSong(const std::string& path) {
  const std::filesystem::path p(path);
  std::error_code ec;
  return IsKeptName(p.filename().string()) &&
         std::filesystem::equivalent(p.parent_path(), UnsavedFolder(), ec);
}
