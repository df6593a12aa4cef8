// Whole-file reads and writes on what a user may name besides a regular file: a
// pipe (pread and pwrite fail there) and a device that refuses the bytes.
#include "codecs/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "codecs_fixture.h"

namespace {

using FileIoTest = CodecsTest;

// A reader that has what it wants closes the pipe under the writer: while this
// lives, the writer's next write fails instead of ending the test process.
class BrokenPipeFails {
 public:
  BrokenPipeFails() : saved_(std::signal(SIGPIPE, SIG_IGN)) {}
  ~BrokenPipeFails() { std::signal(SIGPIPE, saved_); }
  BrokenPipeFails(const BrokenPipeFails&) = delete;
  BrokenPipeFails& operator=(const BrokenPipeFails&) = delete;

 private:
  void (*saved_)(int);
};

// Everything a reader at the other end of the FIFO receives until the writer closes.
Bytes Drain(const std::string& fifo) {
  Bytes got;
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return got;
  uint8_t chunk[4096];
  ssize_t n;
  while ((n = ::read(fd, chunk, sizeof chunk)) > 0) got.insert(got.end(), chunk, chunk + n);
  ::close(fd);
  return got;
}

TEST_F(FileIoTest, AWholeFileGoesThroughAPipeInOrderAndThePipeStays) {
  const std::string fifo = dir + "export.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Far more than a pipe holds, so the writer waits on the reader many times.
  const Bytes header = Pattern(44, 1);
  const Bytes audio = Pattern(600000, 2);
  Bytes received;
  std::thread reader([&] { received = Drain(fifo); });

  const int written = WriteWholeFile(fifo, {header, audio});
  reader.join();

  EXPECT_EQ(written, 1);
  Bytes expected = header;
  expected.insert(expected.end(), audio.begin(), audio.end());
  EXPECT_EQ(received, expected);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(FileIoTest, AFileIsReadFromAPipeUpToTheDestinationsSize) {
  const std::string fifo = dir + "import.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const BrokenPipeFails quiet;
  const Bytes content = Pattern(20000);
  for (const size_t room : {size_t{30000}, size_t{12345}}) {
    std::thread writer([&] {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd < 0) return;
      // In pieces, so one read cannot see it all.
      for (size_t at = 0; at < content.size(); at += 3000) {
        const size_t n = std::min<size_t>(3000, content.size() - at);
        if (::write(fd, content.data() + at, n) != static_cast<ssize_t>(n)) break;
      }
      ::close(fd);
    });
    Bytes destination(room, 0xAA);
    const FileRead read = ReadFileStart(fifo, destination);
    writer.join();

    EXPECT_TRUE(read.opened) << room;
    const size_t expected = std::min(room, content.size());
    ASSERT_EQ(read.bytes, expected) << room;
    EXPECT_TRUE(std::equal(content.begin(), content.begin() + expected, destination.begin()));
  }
}

TEST_F(FileIoTest, ADeviceThatRefusesTheBytesIsAFailureAndIsNotRemoved) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  // Through a link of our own: were the failure to remove the name it was given,
  // the link would go, never the device.
  const std::string link = dir + "full.wav";
  ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
  const Bytes audio = Pattern(1000);

  EXPECT_EQ(WriteWholeFile(link, {audio}), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

}  // namespace
