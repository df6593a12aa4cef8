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
#include "base/settings.h"
#include "platform/platform.h"

namespace {

constexpr const char* kCaption = "Measure Latency";
constexpr size_t kListenBytes = size_t{kListenFrames} * 4;

// The burst and a second of silence behind it play in about two seconds; an
// input that has not filled the recording well after that never will.
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

void Finish() {
  const int64_t captured = EndRun();
  std::vector<float> sent(kTestSignalFrames);
  for (uint32_t i = 0; i < kTestSignalFrames; ++i) sent[i] = TestSignalSample(i) / 32768.0f;
  const std::optional<uint32_t> delay = FindDelay(sent, HeardFrames(captured));
  measurement.recording.reset();

  if (!delay) {
    platform().ShowMessage(
        "No test signal came back. Connect the output to the input with a cable, or hold a "
        "microphone to a speaker, and measure again. The round trip stays at " +
            FramesText(RoundTripFrames()) + ".",
        kCaption);
    return;
  }
  const int saved = SaveRoundTrip(*delay);
  platform().ShowInformation("Round trip: " + FramesText(*delay), kCaption);
  if (!saved) ShowError("Error: the round trip could not be kept in " + SettingsPath());
}

}  // namespace

int16_t TestSignalSample(uint32_t frame) {
  // White noise from a fixed seed: its correlation with itself is one sharp
  // peak, and every measurement plays the same burst.
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
  for (uint32_t i = 0; i < kTestSignalFrames; ++i) {
    StoreI16(signal.get() + i * 4, TestSignalSample(i));
    StoreI16(signal.get() + i * 4 + 2, TestSignalSample(i));
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
