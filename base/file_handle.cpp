#include "base/file_handle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Repeats a transfer until `count` bytes are done, the file ends or an error
// other than an interruption; a pipe or a full disk may take fewer bytes a call.
template <typename Step>
size_t TransferAll(size_t count, Step step) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = step(done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileHandle FileHandle::Open(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return FileHandle(fd);
}

size_t FileHandle::ReadAt(int64_t offset, std::span<uint8_t> out) const {
  if (fd_ < 0 || offset < 0) return 0;
  return TransferAll(out.size(), [&](size_t done) {
    return ::pread(fd_, out.data() + done, out.size() - done,
                   static_cast<off_t>(offset + static_cast<int64_t>(done)));
  });
}

void FileHandle::ReadZeroFilled(int64_t offset, std::span<uint8_t> out) const {
  const size_t got = ReadAt(offset, out);
  std::memset(out.data() + got, 0, out.size() - got);
}

size_t FileHandle::WriteAt(int64_t offset, std::span<const uint8_t> data) const {
  if (fd_ < 0 || offset < 0) return 0;
  return TransferAll(data.size(), [&](size_t done) {
    return ::pwrite(fd_, data.data() + done, data.size() - done,
                    static_cast<off_t>(offset + static_cast<int64_t>(done)));
  });
}

size_t FileHandle::Read(std::span<uint8_t> out) const {
  if (fd_ < 0) return 0;
  return TransferAll(
      out.size(), [&](size_t done) { return ::read(fd_, out.data() + done, out.size() - done); });
}

size_t FileHandle::Write(std::span<const uint8_t> data) const {
  if (fd_ < 0) return 0;
  return TransferAll(data.size(), [&](size_t done) {
    return ::write(fd_, data.data() + done, data.size() - done);
  });
}

int64_t FileHandle::CopyTo(const FileHandle& dest, int64_t offset, int64_t length,
                           std::span<uint8_t> buffer) const {
  if (fd_ < 0 || dest.fd_ < 0 || offset < 0) return 0;
  int64_t done = 0;
  bool inKernel = true;
  while (done < length) {
    if (inKernel) {
      loff_t in = offset + done;
      loff_t out = in;
      const ssize_t n =
          ::copy_file_range(fd_, &in, dest.fd_, &out, static_cast<size_t>(length - done), 0);
      if (n > 0) {
        done += n;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // Across some filesystems, or where the kernel cannot: copy by hand.
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        inKernel = false;
        continue;
      }
      break;  // the source ended, or the destination is full or failing
    }
    if (buffer.empty()) break;
    const auto chunk =
        buffer.first(static_cast<size_t>(std::min<int64_t>(length - done, buffer.size())));
    const size_t got = ReadAt(offset + done, chunk);
    if (got == 0) break;
    const size_t put = dest.WriteAt(offset + done, chunk.first(got));
    done += static_cast<int64_t>(put);
    if (put < got) break;
  }
  return done;
}

bool FileHandle::CopyDataTo(const FileHandle& dest, int64_t offset, int64_t length,
                            std::span<uint8_t> buffer) const {
  if (fd_ < 0 || offset < 0 || length < 0) return false;
  const int64_t end = offset + length;
  for (int64_t at = offset; at < end;) {
    const off_t data = ::lseek(fd_, static_cast<off_t>(at), SEEK_DATA);
    // ENXIO: no data from here to the end of the file.
    if (data < 0 && errno == ENXIO) return true;
    int64_t from = data;
    int64_t to = end;
    if (data < 0) {
      // No way to find the holes here: what the file holds is all data.
      from = at;
      const int64_t size = Size();
      if (size < 0) return false;
      to = std::min(end, size);
    } else {
      const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
      to = hole < 0 ? end : std::min<int64_t>(end, hole);
    }
    if (from >= end) return true;
    if (from < to && CopyTo(dest, from, to - from, buffer) != to - from) return false;
    if (data < 0) return true;
    at = to;
  }
  return true;
}

int64_t FileHandle::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool FileHandle::IsRegularFile() const {
  struct stat st {};
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

bool FileHandle::Resize(int64_t length) const {
  if (fd_ < 0 || length < 0) return false;
  int r;
  do {
    r = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

FileHandle::Lock FileHandle::TryLock() const {
  int r;
  do {
    r = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r == 0) return Lock::Held;
  return errno == EWOULDBLOCK ? Lock::HeldElsewhere : Lock::Unsupported;
}

bool FileHandle::Sync() const {
  return fd_ >= 0 && ::fsync(fd_) == 0;
}

bool FileHandle::Close() {
  if (fd_ < 0) return true;
  // Linux releases the descriptor even when close reports an error, so it is
  // never retried.
  const int r = ::close(fd_);
  fd_ = -1;
  return r == 0;
}
