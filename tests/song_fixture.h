// What the song tests share: a folder of their own for the working file, the
// track records numbered as at start-up, a work buffer, and file helpers.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/buffer.h"
#include "base/paths.h"
#include "platform/fake/fake_platform.h"
#include "song/song_file.h"
#include "song/song_state.h"

class SongFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sonavel-song-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = std::string(pattern) + "/";
    savedWorkDir = workDir;
    workDir = dir;
    fakePlatform.Reset();
    for (int n = 0; n <= TrackCount; ++n) {
      tracks[n].index = n;
      tracks[n].loopOn = tracks[n].loopStart = tracks[n].loopEnd = tracks[n].loopPos = 0;
    }
    song.mixSecond = song.ringSecond = 0;
    song.workBuffer = TryAllocate(WorkBufferBytes);
    ASSERT_TRUE(song.workBuffer);
  }
  void TearDown() override {
    SongFileCloseOnly();
    song.workBuffer.reset();
    workDir = savedWorkDir;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  static int64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
  }
  static std::vector<uint8_t> ReadBytes(const std::string& path, int64_t offset, size_t count) {
    std::vector<uint8_t> out(count);
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    out.resize(static_cast<size_t>(in.gcount()));
    return out;
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  static bool AllZero(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
      if (b != 0) return false;
    }
    return true;
  }
  // Byte p of the pattern: distinct enough that a shifted or misplaced copy shows.
  static uint8_t PatternByte(int64_t p) { return static_cast<uint8_t>((p * 7 + p / 251) | 1); }
  // The first `count` bytes of the work buffer, offset p holding PatternByte(p).
  static void FillPattern(int64_t count) {
    for (int64_t p = 0; p < count; ++p) song.workBuffer[p] = PatternByte(p);
  }

  std::string dir;
  std::string savedWorkDir;
};

// Lets a test fill the disk: writes past `bytes` fail with EFBIG instead of
// killing the process. Both are restored when the guard ends.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = nullptr;
};
