#include "codecs/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace {

// Closes the descriptor when the scope ends unless it was closed on purpose.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closing is where a full disk can still show up for buffered filesystems.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

FileRead ReadFileStart(const std::string& path, std::span<uint8_t> destination) {
  FileRead result;
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return result;
  result.opened = true;
  while (result.bytes < destination.size()) {
    const ssize_t got =
        ::read(file.get(), destination.data() + result.bytes, destination.size() - result.bytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.bytes += static_cast<size_t>(got);
  }
  return result;
}

int WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.valid()) return 0;
  // Only a regular file may be removed after a failure: a device or a pipe named by
  // the user is not ours to delete.
  struct stat info {};
  const bool regular = ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
  bool ok = true;
  for (const std::span<const uint8_t> part : parts) {
    if (!WriteAll(file.get(), part)) {
      ok = false;
      break;
    }
  }
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
