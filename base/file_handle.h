// A POSIX file descriptor owned by one object. Reads and writes at an offset
// never depend on a file position left behind by another; the sequential Read and
// Write serve pipes and devices, which have no offsets (pread fails on a FIFO).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // open(2) with close-on-exec added; the result is closed when it failed.
  static FileHandle Open(const std::string& path, int flags, mode_t mode = 0666);

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

  // Bytes read at offset: fewer than asked only at the end of the file or on an
  // error, which counts as the end.
  size_t ReadAt(int64_t offset, std::span<uint8_t> out) const;
  // As ReadAt, with whatever could not be read set to zero.
  void ReadZeroFilled(int64_t offset, std::span<uint8_t> out) const;
  // Bytes written at offset: fewer than asked when the disk is full or the
  // write failed.
  size_t WriteAt(int64_t offset, std::span<const uint8_t> data) const;
  // As ReadAt and WriteAt, from and to the current position.
  size_t Read(std::span<uint8_t> out) const;
  size_t Write(std::span<const uint8_t> data) const;
  // Copies bytes [offset, offset + length) to the same offsets of dest, in the
  // kernel where it can (no trip through user memory), else through buffer.
  // Returns the bytes copied: fewer when this file ends first or a write fails.
  int64_t CopyTo(const FileHandle& dest, int64_t offset, int64_t length,
                 std::span<uint8_t> buffer) const;
  // As CopyTo, but only the parts of the range this file holds data in: its
  // holes, and the range past its end, are left untouched in dest (in a file
  // just emptied they stay holes and read as zeros). True when all of that data
  // was copied.
  bool CopyDataTo(const FileHandle& dest, int64_t offset, int64_t length,
                  std::span<uint8_t> buffer) const;
  // The file's length, or -1 when it cannot be had.
  int64_t Size() const;
  // False for a device, a pipe or a socket, and when it cannot be told.
  bool IsRegularFile() const;
  bool Resize(int64_t length) const;
  // An exclusive advisory lock (flock) for as long as this descriptor is open;
  // never waits. Another open of the same file, in this process or another,
  // cannot have it meanwhile.
  enum class Lock { Held, HeldElsewhere, Unsupported };
  Lock TryLock() const;
  bool Sync() const;
  // False when the descriptor was open and close(2) reported an error (a late
  // write error on some filesystems).
  bool Close();

 private:
  explicit FileHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
};
