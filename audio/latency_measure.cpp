#include "audio/latency_measure.h"

#include <algorithm>
#include <cstdio>
#include <optional>
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

// Five bursts of 186 ms, each played and recorded from a start of its own, as
// five takes would be: where a device places its capture can change from one
// start to the next, and a measurement that saw one start would keep that
// start's mistake for every take after it.
constexpr uint32_t kBursts = 5;
constexpr uint32_t kBurstFrames = 8192;
constexpr size_t kBurstBytes = size_t{kBurstFrames} * 4;
// Each run listens for its burst and as long again as a round trip may be.
constexpr size_t kListenBytes = (size_t{kBurstFrames} + kMaxRoundTripFrames) * 4;

// How far the bursts may disagree. JACK places every start exactly; the
// desktop's device within about a dozen frames of the last on a steady path.
// What the sound system misplaces or drops is a block: 32 frames and more
// (SDL's own are 1,024).
constexpr uint32_t kAgreeFrames = 16;

// A run's recording fills in little more than a second; an input that has not
// filled it well after that never will.
constexpr uint32_t kGiveUpMs = 5000;

// About -12 dB below full scale at its peaks: clearly heard through a
// microphone, never clipped on the way back.
constexpr int kTestSignalPeak = 8192;

struct Measurement {
  bool running = false;
  uint32_t burst = 0;      // the burst whose run is under way
  uint32_t startedMs = 0;  // when that run began
  Buffer recording;        // the run's input, as a take would hold it
  std::vector<uint32_t> delays;
};
Measurement measurement;

std::string FramesText(uint32_t frames) {
  char text[64];
  std::snprintf(text, sizeof text, "%u frames (%.1f ms)", frames, frames / 44.1);
  return text;
}

void ShowError(const std::string& text) {
  platform().ShowMessage(text, "Error");
}

// The burst's first frame in the noise.
uint32_t BurstNoise(uint32_t burst) {
  return burst * kBurstFrames;
}

// Opens the input and plays the current burst. 0 after telling the user why
// it could not.
int StartRun() {
  // The recording is placed as a take's is, but not shifted: what it shows is
  // the whole round trip.
  const CaptureOpened opened = CaptureOpen(measurement.recording.get(), kListenBytes, 0);
  Buffer signal = TryAllocate(kBurstBytes);
  if (opened != CaptureOpened::Yes || !signal) {
    if (opened == CaptureOpened::Yes) CaptureEnd();
    platform().Beep();
    ShowError(opened == CaptureOpened::NoDevice
                  ? "Error: waveInOpen"
                  : "Error: not enough memory to measure the latency");
    return 0;
  }
  for (uint32_t i = 0; i < kBurstFrames; ++i) {
    const int16_t sample = TestSignalSample(BurstNoise(measurement.burst) + i);
    StoreI16(signal.get() + i * 4, sample);
    StoreI16(signal.get() + i * 4 + 2, sample);
  }
  measurement.startedMs = platform().ClockMs();
  waveIn().Start();
  if (PlaySeconds({signal.get(), kBurstBytes}) != 2) {
    PlayReset();
    CaptureEnd();
    ShowError("Error: the test signal could not be played");
    return 0;
  }
  return 1;
}

// Stops both devices and closes the input; returns the bytes recorded.
int64_t EndRun() {
  PlayReset();
  return CaptureEnd();
}

// The current burst's delay in what its run recorded, both channels averaged
// (a loop may come back on one side only), when it came back clearly.
std::optional<uint32_t> BurstDelay(int64_t bytes) {
  std::vector<float> heard(static_cast<size_t>(std::max<int64_t>(bytes, 0) / 4));
  const uint8_t* at = measurement.recording.get();
  for (size_t i = 0; i < heard.size(); ++i, at += 4) {
    heard[i] = static_cast<float>(LoadI16(at) + LoadI16(at + 2)) / 65536.0f;
  }
  std::vector<float> sent(kBurstFrames);
  for (uint32_t i = 0; i < kBurstFrames; ++i) {
    sent[i] = TestSignalSample(BurstNoise(measurement.burst) + i) / 32768.0f;
  }
  return FindDelay(sent, heard);
}

void Finish() {
  measurement.running = false;
  measurement.recording.reset();
  std::vector<uint32_t>& delays = measurement.delays;
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
  platform().ShowInformation("Round trip: " + FramesText(median), kCaption);
  if (!saved) ShowError("Error: the round trip could not be kept in " + SettingsPath());
}

// A burst's run is over: the next one starts, or the bursts are judged. A
// burst that did not come back ends the measurement at once: nothing
// connected would otherwise cost every run its wait.
void RunOver() {
  const std::optional<uint32_t> delay = BurstDelay(EndRun());
  if (delay) measurement.delays.push_back(*delay);
  if (!delay || ++measurement.burst == kBursts) {
    Finish();
  } else if (!StartRun()) {
    measurement.running = false;
    measurement.recording.reset();
  }
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
  measurement.recording = TryAllocate(kListenBytes);
  if (!measurement.recording) {
    platform().Beep();
    ShowError("Error: not enough memory to measure the latency");
    return;
  }
  measurement.burst = 0;
  measurement.delays.clear();
  measurement.running = StartRun() == 1;
  if (!measurement.running) measurement.recording.reset();
}

bool MeasuringLatency() {
  return measurement.running;
}

void LatencyProgress() {
  if (measurement.running && CaptureOver()) RunOver();
}

void LatencyTick() {
  if (measurement.running && platform().ClockMs() - measurement.startedMs >= kGiveUpMs) RunOver();
}

void LatencyCancel() {
  if (!measurement.running) return;
  measurement.running = false;
  EndRun();
  measurement.recording.reset();
}
