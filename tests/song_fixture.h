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
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "tests/fake/fake_platform.h"

class SongFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempFolder("song");
    ASSERT_FALSE(dir.empty());
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

  // Byte p of the pattern: distinct enough that a shifted or misplaced copy shows.
  static uint8_t PatternByte(int64_t p) { return static_cast<uint8_t>((p * 7 + p / 251) | 1); }
  // The first `count` bytes of the work buffer, offset p holding PatternByte(p).
  static void FillPattern(int64_t count) {
    for (int64_t p = 0; p < count; ++p) song.workBuffer[p] = PatternByte(p);
  }

  std::string dir;
  std::string savedWorkDir;
};
