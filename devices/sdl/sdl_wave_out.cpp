#include <algorithm>
#include <atomic>
#include <cstring>

#include "devices/sdl/sdl_wave_devices.h"
#include "platform/platform.h"

namespace {

// The core reads `queued` to refuse a second Write of a buffer the callback may
// be handing back at that moment.
std::atomic_ref<uint32_t> Queued(WaveHeader& header) {
  return std::atomic_ref<uint32_t>(header.queued);
}

}  // namespace

SdlWaveOut::SdlWaveOut(PlaybackClock& c) : clock(c) {}

SdlWaveOut::~SdlWaveOut() {
  if (device != 0) SDL_CloseAudioDevice(device);
}

int SdlWaveOut::Open() {
  if (device != 0) Close();
  // SDL opens it paused, and a paused device never calls back: all of this is
  // ours until it plays.
  const SDL_AudioDeviceID opened = OpenSdlDevice(false, chosen, &SdlWaveOut::Callback, this);
  if (opened == 0) return kSdlOpenFailed;
  device = opened;
  ++generation;
  handed = 0;
  dry = 0;
  lostTold = false;
  clock.origin.Forget();
  clock.outputRunning = true;
  // Playing from the start: silence until the first buffer arrives, so a Write
  // is heard without a separate start.
  SDL_PauseAudioDevice(device, 0);
  return kWaveOk;
}

void SdlWaveOut::Close() {
  clock.outputRunning = false;
  if (device != 0) {
    // Joins SDL's thread: no callback runs after this.
    SDL_CloseAudioDevice(device);
    device = 0;
  }
  HandBack(false);
  ++generation;
}

int SdlWaveOut::Write(WaveHeader& header) {
  if (device == 0) return kSdlNotOpen;
  if (!SdlDeviceAlive(device)) return kSdlDeviceLost;
  if (header.data == nullptr && header.bufferLength != 0) return kSdlBadBuffer;
  // Queued twice, a buffer would be played twice and handed back while SDL
  // still reads from it.
  if (Queued(header).load() != 0) return kWaveStillPlaying;
  header.done = 0;
  Queued(header).store(1);
  const SdlQueued entry{&header, clock.startRequested.exchange(false)};
  if (!queue.Push(entry)) {
    if (entry.startsCapture) clock.startRequested = true;
    Queued(header).store(0);
    return kSdlQueueFull;
  }
  return kWaveOk;
}

int SdlWaveOut::Reset() {
  return ResetSdlDevice(device, generation, [this] { HandBack(true); });
}

uint32_t SdlWaveOut::Generation() const {
  return generation;
}

bool SdlWaveOut::DeviceNames(std::vector<std::string>& names) {
  SdlDeviceNames(false, names);
  return true;
}

void SdlWaveOut::HandBack(bool notify) {
  for (;;) {
    if (playing.header == nullptr && !queue.Pop(playing)) break;
    WaveHeader* header = playing.header;
    playing = {};
    header->done = 1;
    Queued(*header).store(0);
    if (notify) platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(header)});
  }
  played = 0;
  dry = 0;
}

void SdlWaveOut::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlWaveOut*>(self)->Fill(stream, static_cast<size_t>(std::max(length, 0)));
}

void SdlWaveOut::Fill(Uint8* stream, size_t length) {
  // SDL calls on at the same pace into nothing once the device is gone.
  if (!lostTold && !SdlDeviceAlive(device)) {
    lostTold = true;
    platform().Post({WM_WAVE_LOST, generation, 0});
  }
  clock.origin.Add(SteadyNs() - FramesToNs(handed));
  size_t filled = 0;
  while (filled < length) {
    if (playing.header == nullptr) {
      if (!queue.Pop(playing)) break;
      played = 0;
      if (playing.startsCapture) {
        clock.captureStart = handed + static_cast<int64_t>(filled / 4);
      } else if (dry != 0 && clock.captureStart.load() >= 0) {
        // The song goes on after a stretch of silence: the capture stalls by it.
        clock.stalled += dry;
      }
      dry = 0;
    }
    WaveHeader& front = *playing.header;
    const size_t take = std::min<size_t>(length - filled, front.bufferLength - played);
    if (take != 0) std::memcpy(stream + filled, front.data + played, take);
    filled += take;
    played += static_cast<uint32_t>(take);
    if (played < front.bufferLength) break;  // the stream is full
    playing = {};
    played = 0;
    front.done = 1;
    Queued(front).store(0);
    platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(&front)});
  }
  dry += static_cast<int64_t>((length - filled) / 4);
  handed += static_cast<int64_t>(length / 4);
  std::memset(stream + filled, 0, length - filled);
}
