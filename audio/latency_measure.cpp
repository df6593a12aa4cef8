#include "audio/latency_measure.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/capture.h"
#include "audio/correlation.h"
#include "audio/playback.h"
#include "audio/round_trip.h"
#include "base/buffer.h"
#include "base/bytes.h"
#include "base/number_text.h"
#include "base/settings.h"
#include "platform/platform.h"

namespace {

constexpr const char* kCaption = "Measure Latency";
constexpr size_t kListenBytes = size_t{kListenFrames} * 4;

// Five bursts of 186 ms, one every 200 ms: each long enough to stand far
// above room noise, and all of them inside the first second, so each one's
// echo can come back as late as a round trip may be before the recording ends.
constexpr uint32_t kBursts = 5;
constexpr uint32_t kBurstFrames = 8192;
constexpr uint32_t kBurstEvery = 8820;
static_assert((kBursts - 1) * kBurstEvery + kBurstFrames + kMaxRoundTripFrames <= kListenFrames);

// How far the bursts of one measurement may disagree. They share one start and
// one pair of clocks, so on a steady path they differ by a frame or two: where
// the peak is picked, a microphone moving a couple of centimetres, or two
// unsynchronised cards drifting 100 ppm over the 0.8 s between the first burst
// and the last (3.5 frames). What the sound system loses or repeats moves the
// later bursts by a whole block, 32 frames and more.
constexpr uint32_t kAgreeFrames = 8;

// The bursts play in about one second and the recording lasts two; an input
// that has not filled it well after that never will.
constexpr uint32_t kGiveUpMs = 5000;

// About -12 dB below full scale at its peaks: clearly heard through a
// microphone, never clipped on the way back.
constexpr int kTestSignalPeak = 8192;

struct Measurement {
  bool running = false;
  uint32_t startedMs = 0;
  Buffer recording;  // kListenFrames of the input, as a take would hold them
};
Measurement measurement;

uint32_t BurstStart(uint32_t burst) {
  return burst * kBurstEvery;
}

std::string FramesText(uint32_t frames) {
  char text[64];
  std::snprintf(text, sizeof text, "%u frames (%.1f ms)", frames, frames / 44.1);
  return text;
}

void ShowError(const std::string& text) {
  platform().ShowMessage(text, "Error");
}

// Stops both devices and closes the input; returns the bytes recorded.
int64_t EndRun() {
  measurement.running = false;
  PlayReset();
  return CaptureEnd();
}

// Both channels averaged: a loop may come back on one side only.
std::vector<float> HeardFrames(int64_t bytes) {
  std::vector<float> heard(static_cast<size_t>(std::max<int64_t>(bytes, 0) / 4));
  const uint8_t* at = measurement.recording.get();
  for (size_t i = 0; i < heard.size(); ++i, at += 4) {
    heard[i] = static_cast<float>(LoadI16(at) + LoadI16(at + 2)) / 65536.0f;
  }
  return heard;
}

// Each burst's delay, looked for in the recording from where it was played,
// for as long as a round trip may be; those that came back clearly.
std::vector<uint32_t> BurstDelays(std::span<const float> heard) {
  std::vector<uint32_t> delays;
  std::vector<float> sent(kBurstFrames);
  for (uint32_t burst = 0; burst < kBursts; ++burst) {
    const uint32_t start = BurstStart(burst);
    if (start >= heard.size()) break;
    for (uint32_t i = 0; i < kBurstFrames; ++i) sent[i] = TestSignalSample(start + i) / 32768.0f;
    const std::span<const float> window = heard.subspan(
        start, std::min<size_t>(heard.size() - start, kBurstFrames + kMaxRoundTripFrames));
    if (const std::optional<uint32_t> delay = FindDelay(sent, window)) delays.push_back(*delay);
  }
  return delays;
}

void Finish() {
  const int64_t captured = EndRun();
  std::vector<uint32_t> delays = BurstDelays(HeardFrames(captured));
  measurement.recording.reset();

  const std::string notStored =
      ": the sound system is busy or the connection is not steady. "
      "Nothing was stored; try again.";
  if (delays.empty()) {
    platform().ShowMessage(
        "No test signal came back. Connect the output to the input with a cable, or hold a "
        "microphone to a speaker, and measure again. The round trip stays at " +
            FramesText(RoundTripFrames()) + ".",
        kCaption);
    return;
  }
  if (delays.size() < kBursts) {
    platform().ShowMessage("Only " + std::to_string(delays.size()) + " of the " +
                               std::to_string(kBursts) + " test bursts came back clearly" +
                               notStored,
                           kCaption);
    return;
  }
  std::sort(delays.begin(), delays.end());
  if (delays.back() - delays.front() > kAgreeFrames) {
    platform().ShowMessage("The round trip changed between bursts (" + Thousands(delays.front()) +
                               " to " + Thousands(delays.back()) + " frames)" + notStored,
                           kCaption);
    return;
  }
  const uint32_t median = delays[kBursts / 2];
  const int saved = SaveRoundTrip(median);
  platform().ShowMessage("Round trip: " + FramesText(median), kCaption);
  if (!saved) ShowError("Error: the round trip could not be kept in " + SettingsPath());
}

}  // namespace

int16_t TestSignalSample(uint32_t frame) {
  // White noise from a fixed seed: its correlation with itself is one sharp
  // peak, and every measurement plays the same bursts.
  uint32_t x = frame * 2654435761u + 0x9e3779b9u;
  x ^= x >> 15;
  x *= 0x2c1b3c6du;
  x ^= x >> 12;
  return static_cast<int16_t>(static_cast<int>(x % (2 * kTestSignalPeak + 1)) - kTestSignalPeak);
}

void MeasureLatency() {
  if (measurement.running) return;
  Buffer recording = TryAllocate(kListenBytes);
  Buffer signal = TryAllocate(kListenBytes);
  // The recording is placed as a take's is, but not shifted: what it shows is
  // the whole round trip.
  const CaptureOpened opened =
      recording && signal ? CaptureOpen(recording.get(), kListenBytes, 0) : CaptureOpened::NoMemory;
  if (opened != CaptureOpened::Yes) {
    platform().Beep();
    ShowError(opened == CaptureOpened::NoDevice
                  ? "Error: waveInOpen"
                  : "Error: not enough memory to measure the latency");
    return;
  }
  measurement.recording = std::move(recording);
  measurement.running = true;
  measurement.startedMs = platform().ClockMs();
  std::fill_n(signal.get(), kListenBytes, uint8_t{0});
  for (uint32_t burst = 0; burst < kBursts; ++burst) {
    for (uint32_t f = BurstStart(burst); f < BurstStart(burst) + kBurstFrames; ++f) {
      StoreI16(signal.get() + f * 4, TestSignalSample(f));
      StoreI16(signal.get() + f * 4 + 2, TestSignalSample(f));
    }
  }
  waveIn().Start();
  if (PlaySeconds({signal.get(), kListenBytes}) != 2) {
    LatencyCancel();
    ShowError("Error: the test signal could not be played");
  }
}

bool MeasuringLatency() {
  return measurement.running;
}

void LatencyProgress() {
  if (measurement.running && CaptureOver()) Finish();
}

void LatencyTick() {
  if (measurement.running && platform().ClockMs() - measurement.startedMs >= kGiveUpMs) Finish();
}

void LatencyCancel() {
  if (!measurement.running) return;
  EndRun();
  measurement.recording.reset();
}
