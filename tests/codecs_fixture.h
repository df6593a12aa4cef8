// What the import and export tests share: a folder of their own holding the
// working song file, a work buffer, track records numbered as at start-up, and
// helpers to make sound files and to read back what landed in a track.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "base/buffer.h"
#include "base/bytes.h"
#include "base/paths.h"
#include "codecs/import.h"
#include "panel/commands.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "tests/fake/fake_platform.h"

class CodecsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempFolder("codecs");
    ASSERT_FALSE(dir.empty());
    savedWorkDir = workDir;
    workDir = dir;
    if (!song.workBuffer) song.workBuffer = TryAllocate(WorkBufferBytes);
    ASSERT_TRUE(song.workBuffer);
    for (int n = 0; n <= TrackCount; ++n) {
      tracks[n].index = n;
      tracks[n].playOn = tracks[n].effectOn = 0;
      tracks[n].loopOn = 0;
      tracks[n].loopStart = tracks[n].loopEnd = tracks[n].loopPos = 0;
    }
    song.armedTrack = 0;
    song.mixSecond = song.ringSecond = 0;
    ASSERT_EQ(SongFileInit(), 1);
    fakePlatform.Reset();
  }

  void TearDown() override {
    FailAllocationAfter(-1);
    SongFileClose();
    workDir = savedWorkDir;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Bytes [offset, offset + count) of track n's region in the open song.
  static Bytes Region(int n, int64_t offset, int64_t count) {
    return RegionOf(songPath, n, offset, static_cast<size_t>(count));
  }
  // 16-bit PCM of a sine per channel, `frames` frames.
  static Bytes Tone(int64_t frames, int rate, std::vector<double> hz, double amplitude = 12000) {
    Bytes b(static_cast<size_t>(frames) * hz.size() * 2);
    size_t at = 0;
    for (int64_t f = 0; f < frames; ++f) {
      for (double h : hz) {
        const auto v =
            static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * h * f / rate));
        StoreI16(b.data() + at, v);
        at += 2;
      }
    }
    return b;
  }
  // Sign changes of one channel of stereo PCM per second: twice the tone's pitch.
  static double CrossingsPerSecond(const uint8_t* pcm, size_t bytes, int channel) {
    const size_t frames = bytes / 4;
    int crossings = 0;
    for (size_t f = 1; f < frames; ++f) {
      const bool before = LoadI16(pcm + 4 * (f - 1) + 2 * channel) >= 0;
      const bool now = LoadI16(pcm + 4 * f + 2 * channel) >= 0;
      if (before != now) ++crossings;
    }
    return crossings * 44100.0 / static_cast<double>(frames);
  }
  // The level of one channel of stereo PCM: its RMS in dB below full scale.
  static double LevelDb(const uint8_t* pcm, size_t bytes, int channel) {
    double power = 0;
    const size_t frames = bytes / 4;
    for (size_t f = 0; f < frames; ++f) power += std::pow(LoadI16(pcm + 4 * f + 2 * channel), 2);
    return 10 * std::log10(power / static_cast<double>(frames) / (32768.0 * 32768.0));
  }
  // Frames of stereo PCM up to its last one that is not silent.
  static int64_t SoundingFrames(const Bytes& pcm) {
    int64_t frames = static_cast<int64_t>(pcm.size()) / 4;
    while (frames > 0 && LoadU32(&pcm[4 * (frames - 1)]) == 0) --frames;
    return frames;
  }
  // Puts a known pattern into track n, so a refused import can be seen to leave it.
  static Bytes FillTrack(int n, size_t count) {
    Bytes pattern = Pattern(count, static_cast<uint32_t>(n));
    FileWrite(tracks[n], pattern.data(), 0, static_cast<int32_t>(count));
    return pattern;
  }
  // A failure message: its first line, then the file and the reason (the one
  // given, or any) on a line of their own.
  static void ExpectFailureText(const std::string& text, const std::string& first,
                                const std::string& path, const std::string& reason = {}) {
    const size_t newline = text.find('\n');
    ASSERT_NE(newline, std::string::npos) << text;
    EXPECT_EQ(text.substr(0, newline), first);
    const std::string second = text.substr(newline + 1);
    EXPECT_TRUE(second.starts_with(path + ": ")) << text;
    if (reason.empty()) {
      EXPECT_GT(second.size(), path.size() + 2) << text;
    } else {
      EXPECT_EQ(second, path + ": " + reason);
    }
  }
  // A loader's refusal of a file: "Routine: what: path", and, where FFmpeg (tried
  // last) could read the file and refused it too, its reason on a line of its own.
  static void ExpectRefusal(const ShownMessage& shown, const std::string& first,
                            const std::string& path) {
    EXPECT_EQ(shown.caption, "Error");
    if (first.ends_with("Missing File")) {
      EXPECT_EQ(shown.text, first + ": " + path);
    } else {
      ExpectFailureText(shown.text, first + ": " + path, path);
    }
  }
  // Runs the import command on a path, as the dialog would hand it over.
  static void Import(const std::string& path) {
    fakePlatform.ScriptDialog(path);
    ImportSoundFile();
  }

  std::string dir;
  std::string savedWorkDir;
};
