#include "audio/playback.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "base/buffer.h"
#include "platform/platform.h"
#include "song/song_state.h"

namespace {

// The two playback buffers and their headers live from start-up to shut-down;
// nothing is allocated while a run streams.
struct Output {
  Buffer buffers[2];
  WaveHeader headers[2];
  bool open = false;
  bool lost = false;  // the device went away; the next run opens it again
};
Output output;

bool HaveBuffers() {
  return output.buffers[0] && output.buffers[1];
}

// A run that loops never reaches the end of the timeline.
bool BlockLeft() {
  return runState.looping != 0 || TrackRegionBytes - runState.queueOffset >= BytesPerSecond;
}

void MixNext() {
  if (runState.looping != 0) {
    MixLoopBlock();
  } else {
    MixBlock();
  }
}

void Queued() {
  if (runState.looping == 0) runState.queueOffset += BytesPerSecond;
}

void ShowError(const char* text) {
  platform().ShowMessage(text, "Error");
}

void CloseOutput() {
  if (!output.open) return;
  waveOut().Reset();
  waveOut().Close();
  output.open = false;
}

void FillHeader(int i) {
  if (BlockLeft()) {
    MixNext();
    std::memcpy(output.buffers[i].get(), runState.mixBlock, BytesPerSecond);
    Queued();
  } else {
    // Past the last whole second the buffer is queued all the same: as silence.
    std::memset(output.buffers[i].get(), 0, BytesPerSecond);
  }
  output.headers[i].bufferLength = BytesPerSecond;
}

}  // namespace

void ShowDeviceError(std::string_view first, const DeviceChoice& device) {
  std::string text(first);
  if (const std::string why = device.LastFailure(); !why.empty()) text += "\n" + why;
  platform().ShowMessage(text, "Error");
}

int AudioInit() {
  if (!MixerBlocksInit()) {
    platform().Beep();
    ShowError("Error: PlayStart");
    return 0;
  }
  PlayStart();
  return 0;
}

int PlayStart() {
  // The device may still hold the buffers (a run, a measurement): it lets go
  // of them before they are replaced, never after.
  CloseOutput();
  Buffer a = TryAllocate(BytesPerSecond);
  Buffer b = TryAllocate(BytesPerSecond);
  if (!a || !b) {
    platform().Beep();
    ShowError("Error: PlayStart");
    return 1;
  }
  output.buffers[0] = std::move(a);
  output.buffers[1] = std::move(b);
  for (int i = 0; i < 2; ++i) {
    output.headers[i] = WaveHeader{};
    output.headers[i].data = output.buffers[i].get();
    output.headers[i].bufferLength = BytesPerSecond;
  }
  if (waveOut().Open() != kWaveOk) {
    ShowDeviceError("Error: Wave Output Init failed", waveOut());
    return 1;
  }
  output.open = true;
  output.lost = false;
  return 0;
}

void PlayReconnect() {
  if (!output.lost || !HaveBuffers()) return;
  // Quietly: a server still away is told by the writes that fail.
  output.open = waveOut().Open() == kWaveOk;
  output.lost = !output.open;
}

int PlayDeviceLost(uintptr_t generation) {
  if (!output.open || generation != waveOut().Generation()) return 0;
  // Let go of it now, the buffers it held handed back: a server restarted
  // meanwhile must find nothing of ours on the old one.
  CloseOutput();
  output.lost = true;
  return 1;
}

void AudioRelease() {
  CloseOutput();
  for (int i = 0; i < 2; ++i) {
    output.headers[i] = WaveHeader{};
    output.buffers[i].reset();
  }
  MixerBlocksRelease();
  EffectRelease();
}

int PlayPrefill() {
  song.mixSecond = runState.startOffset / BytesPerSecond;
  runState.queueOffset = runState.startOffset;
  if (!HaveBuffers()) return 1;
  FillHeader(0);
  FillHeader(1);
  // The third second waits in runState.mixBlock for the first buffer that comes back; one
  // that could never be queued is not worth mixing.
  if (BlockLeft()) MixNext();
  return 1;
}

int PlayQueue() {
  if (!HaveBuffers()) {
    // Without buffers the device was never opened: report it as the writes would.
    ShowError("Error: waveOutWrite failed 1");
    ShowError("Error: waveOutWrite failed 2");
    return 1;
  }
  const char* failures[2] = {"Error: waveOutWrite failed 1", "Error: waveOutWrite failed 2"};
  for (int i = 0; i < 2; ++i) {
    const int result = waveOut().Write(output.headers[i]);
    if (result != kWaveOk && result != kWaveStillPlaying) ShowDeviceError(failures[i], waveOut());
  }
  return 1;
}

int PlaySeconds(std::span<const uint8_t> audio) {
  if (!HaveBuffers()) return 0;
  int queued = 0;
  for (size_t i = 0; i < 2; ++i) {
    const size_t from = std::min(audio.size(), i * BytesPerSecond);
    const size_t n = std::min<size_t>(audio.size() - from, BytesPerSecond);
    std::memcpy(output.buffers[i].get(), audio.data() + from, n);
    std::memset(output.buffers[i].get() + n, 0, BytesPerSecond - n);
    output.headers[i].bufferLength = BytesPerSecond;
    if (waveOut().Write(output.headers[i]) == kWaveOk) ++queued;
  }
  return queued;
}

void PlayReset() {
  if (output.open) waveOut().Reset();
}

int WavePortOut(WaveHeader& header) {
  std::memcpy(header.data, runState.mixBlock, BytesPerSecond);
  header.bufferLength = BytesPerSecond;
  if (waveOut().Write(header) != kWaveOk) {
    ShowDeviceError("Error: WavePortOut - waveOutWrite failed (MM_WOM_DONE)", waveOut());
  }
  return 0;
}

void PlayRefill(WaveHeader& header) {
  if (song.running == 0) return;
  if (!BlockLeft()) return;
  WavePortOut(header);
  Queued();
  runState.audibleSecond += 1;
  if (BlockLeft()) MixNext();
}

bool IsOutputHeader(const WaveHeader* header) {
  return header == &output.headers[0] || header == &output.headers[1];
}
