#include "codecs/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

int WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts,
                   int* error) {
  int failure = 0;
  {
    FileHandle file = FileHandle::Open(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (!file.IsOpen()) failure = errno;
    // Only a regular file may be removed after a failure: a device or a pipe named
    // by the user is not ours to delete.
    const bool regular = file.IsRegularFile();
    for (const std::span<const uint8_t> part : parts) {
      if (failure != 0) break;
      errno = 0;
      if (file.Write(part) != part.size()) failure = errno != 0 ? errno : EIO;
    }
    // Closing is where a full disk can still show up for buffered filesystems.
    if (file.IsOpen() && !file.Close() && failure == 0) failure = errno;
    if (failure != 0 && regular) ::unlink(path.c_str());
  }
  if (error != nullptr) *error = failure;
  return failure == 0 ? 1 : 0;
}

std::string FailureText(std::string_view first, std::string_view path, int error) {
  return FailureText(first, path, std::string_view(std::strerror(error)));
}

std::string FailureText(std::string_view first, std::string_view path, std::string_view reason) {
  std::string text(first);
  text.append("\n").append(path).append(": ").append(reason);
  return text;
}
