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
#include "platform/fake/fake_platform.h"
#include "song/song_file.h"
#include "song/song_state.h"

using Bytes = std::vector<uint8_t>;

class CodecsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sonavel-codecs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = std::string(pattern) + "/";
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

  // Bytes [offset, offset + count) of track n's region; bytes past the end of the
  // song file read as the silence they stand for.
  static Bytes Region(int n, int64_t offset, int64_t count) {
    Bytes out(static_cast<size_t>(count), 0);
    std::ifstream in(songPath, std::ios::binary);
    in.seekg(SongHeaderBytes + int64_t{n - 1} * TrackRegionBytes + offset);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    return out;
  }
  static bool AllZero(const Bytes& bytes) {
    for (uint8_t b : bytes) {
      if (b != 0) return false;
    }
    return true;
  }
  static int64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
  }
  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  static void Put16(Bytes& b, size_t at, uint16_t v) { StoreU16(b.data() + at, v); }
  static void Put32(Bytes& b, size_t at, uint32_t v) { StoreU32(b.data() + at, v); }
  static void Append(Bytes& b, const char* tag, uint32_t size) {
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, tag, 4);
    Put32(b, at + 4, size);
  }
  // A RIFF/WAVE file with a 16-byte format chunk of any shape and the data chunk
  // right behind it.
  static Bytes WavFile(int channels, int rate, int bits, const Bytes& data) {
    Bytes b;
    Append(b, "RIFF", static_cast<uint32_t>(36 + data.size()));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    Append(b, "fmt ", 16);
    b.resize(36);
    Put16(b, 20, 1);
    Put16(b, 22, static_cast<uint16_t>(channels));
    Put32(b, 24, static_cast<uint32_t>(rate));
    Put32(b, 28, static_cast<uint32_t>(rate * channels * bits / 8));
    Put16(b, 32, static_cast<uint16_t>(channels * bits / 8));
    Put16(b, 34, static_cast<uint16_t>(bits));
    Append(b, "data", static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
  }
  // 16-bit PCM of a sine per channel, `frames` frames.
  static Bytes Tone(int64_t frames, int rate, std::vector<double> hz, double amplitude = 12000) {
    Bytes b(static_cast<size_t>(frames) * hz.size() * 2);
    size_t at = 0;
    for (int64_t f = 0; f < frames; ++f) {
      for (double h : hz) {
        const auto v =
            static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * h * f / rate));
        Put16(b, at, static_cast<uint16_t>(v));
        at += 2;
      }
    }
    return b;
  }
  // A pattern in which a shifted or misplaced copy shows.
  static Bytes Pattern(size_t count, uint32_t seed = 1) {
    Bytes b(count);
    uint32_t x = seed;
    for (auto& v : b) {
      x = x * 1103515245u + 12345u;
      v = static_cast<uint8_t>(x >> 16);
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
  // Puts a known pattern into track n, so a refused import can be seen to leave it.
  static Bytes FillTrack(int n, size_t count) {
    Bytes pattern = Pattern(count, static_cast<uint32_t>(n));
    FileWrite(tracks[n], pattern.data(), 0, static_cast<int32_t>(count));
    return pattern;
  }
  static bool HaveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
  }
  static int Run(const std::string& command) { return std::system(command.c_str()); }
  // Runs the import command on a path, as the dialog would hand it over.
  static void Import(const std::string& path) {
    fakePlatform.ScriptDialog(path);
    ImportSoundFile();
  }

  std::string dir;
  std::string savedWorkDir;
};
