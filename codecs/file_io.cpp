#include "codecs/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>

#include "base/file_handle.h"

// Sequential reads and writes, not ReadAt and WriteAt: the user may name a pipe or
// a device (an export to /dev/stdout), where there are no offsets.

FileRead ReadFileStart(const std::string& path, std::span<uint8_t> destination) {
  FileRead result;
  const FileHandle file = FileHandle::Open(path, O_RDONLY);
  if (!file.IsOpen()) return result;
  result.opened = true;
  result.bytes = file.Read(destination);
  return result;
}

int WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts) {
  FileHandle file = FileHandle::Open(path, O_WRONLY | O_CREAT | O_TRUNC);
  if (!file.IsOpen()) return 0;
  // Only a regular file may be removed after a failure: a device or a pipe named by
  // the user is not ours to delete.
  const bool regular = file.IsRegularFile();
  bool ok = true;
  for (const std::span<const uint8_t> part : parts) {
    if (file.Write(part) != part.size()) {
      ok = false;
      break;
    }
  }
  // Closing is where a full disk can still show up for buffered filesystems.
  if (!file.Close()) ok = false;
  if (!ok && regular) ::unlink(path.c_str());
  return ok ? 1 : 0;
}

std::string LowerExtension(std::string_view name) {
  if (name.size() < 4) return {};
  std::string extension(name.substr(name.size() - 3));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}
