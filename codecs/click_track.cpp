#include "codecs/click_track.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "base/bytes.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/undo.h"

namespace {

constexpr int kFrameRate = BytesPerSecond / 4;
constexpr int64_t kSongFrames = int64_t{TrackRegionBytes} / 4;
// 40 ms: short enough to leave silence between beats at the fastest tempo.
constexpr int kToneFrames = kFrameRate / 25;
constexpr double kBeatHz = 1000;
constexpr double kAccentHz = 1600;
constexpr double kDecayFrames = kFrameRate * 0.008;

using Tone = std::array<int16_t, kToneFrames>;

// A sine that dies away quickly and reaches zero at its end, so it neither
// starts nor stops with a crack; its loudest sample is `peak`.
Tone MakeTone(double hz, double peak) {
  std::array<double, kToneFrames> shape{};
  double loudest = 0;
  for (int i = 0; i < kToneFrames; ++i) {
    const double fade = std::exp(-i / kDecayFrames) * (1.0 - static_cast<double>(i) / kToneFrames);
    // From the first sample on, not from a zero: the beat is heard at its frame.
    shape[i] = std::sin(2 * std::numbers::pi * hz * (i + 1) / kFrameRate) * fade;
    loudest = std::max(loudest, std::abs(shape[i]));
  }
  Tone tone{};
  for (int i = 0; i < kToneFrames; ++i) {
    tone[i] = static_cast<int16_t>(std::lround(shape[i] / loudest * peak));
  }
  return tone;
}

void Stamp(uint8_t* timeline, int64_t frame, const Tone& tone) {
  const auto frames = static_cast<int>(std::min<int64_t>(kToneFrames, kSongFrames - frame));
  uint8_t* at = timeline + frame * 4;
  for (int i = 0; i < frames; ++i, at += 4) {
    StoreI16(at, tone[i]);
    StoreI16(at + 2, tone[i]);
  }
}

}  // namespace

int64_t BeatFrame(int64_t beat, int bpm) {
  // beat * 60 * 44,100 / bpm, rounded half up in whole numbers.
  const int64_t twice = 2 * beat * 60 * kFrameRate;
  return (twice + bpm) / (2 * int64_t{bpm});
}

int WriteClickTrack(Track& track, const ClickSettings& settings) {
  if (!RequireOpenSong() || !song.workBuffer) return 0;
  const int bpm = std::clamp(settings.bpm, kClickBpmLowest, kClickBpmHighest);
  const int beats = std::clamp(settings.beatsPerBar, 1, kClickBeatsMost);
  const int level = std::clamp(settings.levelDb, kClickLevelLowest, 0);
  const double peak = 32767 * std::pow(10.0, level / 20.0);
  const Tone beat = MakeTone(kBeatHz, peak);
  const Tone accent = MakeTone(kAccentHz, peak);

  uint8_t* timeline = song.workBuffer.get();
  std::memset(timeline, 0, TrackRegionBytes);
  for (int64_t n = 0;; ++n) {
    const int64_t frame = BeatFrame(n, bpm);
    if (frame >= kSongFrames) break;
    Stamp(timeline, frame, n % beats == 0 ? accent : beat);
  }
  if (!ReplaceTrackAudio(UndoKind::ClickTrack, track, timeline, TrackRegionBytes)) {
    ReportSongWriteFailure("Not enough disk space to write the click track");
    return 0;
  }
  // The click fills the whole song: a loop would repeat a part of it.
  track.loopOn = 0;
  if (track.index != song.armedTrack) track.playOn = 1;
  if (TrackUnnamed(track)) SetTrackName(track, "Click " + std::to_string(bpm));
  FinishUndoStep();
  NoticeSongLoaded();
  return 1;
}
