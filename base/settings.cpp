#include "base/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "base/file_handle.h"
#include "base/paths.h"

namespace {

// Far more than any settings file: a larger one is not ours.
constexpr size_t kMaxSettingsBytes = 64 * 1024;

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  FileHandle file = FileHandle::Open(path, O_RDONLY);
  if (!file.IsOpen()) return lines;
  std::string text(kMaxSettingsBytes, '\0');
  text.resize(file.ReadAt(0, {reinterpret_cast<uint8_t*>(text.data()), text.size()}));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool IsKey(const std::string& line, std::string_view key) {
  return line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
         line[key.size()] == '=';
}

// Rewrites the file with key's line replaced by key=*value, or dropped when
// there is no value.
int ReplaceSetting(std::string_view key, const std::string_view* value) {
  const std::string path = SettingsPath();
  std::string text;
  bool found = false;
  for (const std::string& line : ReadLines(path)) {
    if (IsKey(line, key)) {
      found = true;
    } else if (!line.empty()) {
      text += line + "\n";
    }
  }
  if (value == nullptr && !found) return 1;
  if (value != nullptr) text += std::string(key) + "=" + std::string(*value) + "\n";

  // A new file renamed over the old one: a full disk or a crash while writing
  // leaves the old settings whole.
  const std::string temporary = path + ".new";
  FileHandle file = FileHandle::Open(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const bool written = file.IsOpen() && file.WriteAt(0, bytes) == bytes.size() && file.Sync();
  if (!file.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

std::string SettingsPath() {
  return UserFolder("XDG_CONFIG_HOME", ".config") + "sonavel.conf";
}

std::string ReadSetting(std::string_view key, std::string_view fallback) {
  for (const std::string& line : ReadLines(SettingsPath())) {
    if (IsKey(line, key)) return line.substr(key.size() + 1);
  }
  return std::string(fallback);
}

int WriteSetting(std::string_view key, std::string_view value) {
  const auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != s.npos; };
  if (key.empty() || breaks(key) || breaks(value) || key.find('=') != key.npos) return 0;
  return ReplaceSetting(key, &value);
}

int RemoveSetting(std::string_view key) {
  if (key.empty()) return 0;
  return ReplaceSetting(key, nullptr);
}

std::string SettingKeyPart(std::string_view text) {
  std::string part;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '%' || c == '=') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      part += escaped;
    } else {
      part += c;
    }
  }
  return part;
}
