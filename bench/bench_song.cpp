#include "bench_song.h"

#include <stdlib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>

#include "audio/mixer.h"
#include "base/buffer.h"
#include "base/bytes.h"
#include "base/paths.h"
#include "song/song_file.h"
#include "song/song_state.h"

namespace {

bool denseSongBuilt = false;

struct TempFolder {
  std::string path;
  TempFolder() {
    char pattern[] = "/tmp/sonavel-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    path = std::string(made != nullptr ? made : "/tmp") + "/";
  }
  ~TempFolder() {
    SongFileCloseOnly();
    std::error_code ignored;
    if (path != "/tmp/") std::filesystem::remove_all(path, ignored);
  }
};

const std::array<float, 4096>& SineTable() {
  static const auto table = [] {
    std::array<float, 4096> t{};
    for (size_t i = 0; i < t.size(); ++i) {
      t[i] = static_cast<float>(std::sin(2 * std::numbers::pi * static_cast<double>(i) / 4096));
    }
    return t;
  }();
  return table;
}

}  // namespace

const std::string& BenchDir() {
  static const TempFolder folder;
  return folder.path;
}

void FreshSong() {
  workDir = BenchDir();
  if (!song.workBuffer) song.workBuffer = TryAllocate(WorkBufferBytes);
  MixerBlocksInit();
  for (int n = 0; n <= TrackCount; ++n) {
    Track& t = tracks[n];
    t.index = n;
    t.playOn = 1;
    t.effectOn = 0;
    t.volume = 80;
    t.loopOn = 0;
    t.loopStart = t.loopEnd = t.loopPos = 0;
  }
  song.armedTrack = 0;
  song.mixSecond = song.ringSecond = 0;
  SongFileInit();
  denseSongBuilt = false;
}

void FillTones(uint8_t* pcm, int64_t frames, int64_t start, int seed) {
  const auto& sine = SineTable();
  // Phase steps in 1/65536 of a table entry: three partials per channel.
  const uint64_t steps[3] = {static_cast<uint64_t>(110 + 37 * seed) * 4096 * 65536 / 44100,
                             static_cast<uint64_t>(277 + 53 * seed) * 4096 * 65536 / 44100,
                             static_cast<uint64_t>(1310 + 71 * seed) * 4096 * 65536 / 44100};
  for (int64_t f = 0; f < frames; ++f) {
    const uint64_t n = static_cast<uint64_t>(start + f);
    const float swell = 0.6f + 0.4f * sine[(n / 64) % 4096];
    float left = 0, right = 0;
    for (int p = 0; p < 3; ++p) {
      const float s = sine[(n * steps[p] >> 16) % 4096];
      left += s * (p == 0 ? 6000.0f : 2500.0f);
      right += s * (p == 1 ? 6000.0f : 2500.0f);
    }
    StoreI16(pcm + 4 * f, static_cast<int16_t>(left * swell));
    StoreI16(pcm + 4 * f + 2, static_cast<int16_t>(right * swell));
  }
}

void DenseSong(int reverbTracks) {
  if (!denseSongBuilt) {
    FreshSong();
    uint8_t* audio = song.workBuffer.get();
    for (int t = 1; t <= TrackCount; ++t) {
      FillTones(audio, TrackRegionBytes / 4, 0, t);
      FileWrite(tracks[t], audio, 0, TrackRegionBytes);
    }
    denseSongBuilt = true;
  }
  for (int t = 1; t <= TrackCount; ++t) tracks[t].effectOn = t <= reverbTracks ? 1 : 0;
}

bool Shell(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

bool HaveTool(const char* tool) {
  return Shell(std::string("command -v ") + tool + " >/dev/null 2>&1");
}
