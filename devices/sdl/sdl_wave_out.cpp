#include <algorithm>
#include <cstring>

#include "devices/sdl/sdl_wave_devices.h"
#include "platform/platform.h"

SdlWaveOut::SdlWaveOut(PlaybackClock& c) : clock(c) {
  // The engine keeps two buffers in flight; room for more so that queuing from
  // the core never allocates while SDL's thread is copying.
  queue.reserve(16);
}

SdlWaveOut::~SdlWaveOut() {
  if (device != 0) SDL_CloseAudioDevice(device);
}

int SdlWaveOut::Open() {
  if (device != 0) Close();
  const SDL_AudioDeviceID opened = OpenSdlDevice(false, chosen, &SdlWaveOut::Callback, this);
  if (opened == 0) return kSdlOpenFailed;
  device = opened;
  {
    const std::lock_guard<std::mutex> hold(lock);
    ++generation;
    handed = 0;
    clock.ForgetOrigins();
  }
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
  const std::lock_guard<std::mutex> hold(lock);
  HandBackLocked(false);
  ++generation;
}

int SdlWaveOut::Write(WaveHeader& header) {
  if (device == 0) return kSdlNotOpen;
  if (!SdlDeviceAlive(device)) return kSdlDeviceLost;
  if (header.data == nullptr && header.bufferLength != 0) return kSdlBadBuffer;
  const std::lock_guard<std::mutex> hold(lock);
  // Queued twice, a buffer would be played twice and handed back while SDL
  // still reads from it.
  if (header.queued != 0) return kWaveStillPlaying;
  header.done = 0;
  header.queued = 1;
  queue.push_back(&header);
  if (clock.startRequested.exchange(false)) startsCapture = &header;
  return kWaveOk;
}

int SdlWaveOut::Reset() {
  return ResetSdlDevice(device, lock, generation, [this] { HandBackLocked(true); });
}

uint32_t SdlWaveOut::Generation() const {
  return generation;
}

bool SdlWaveOut::DeviceNames(std::vector<std::string>& names) {
  SdlDeviceNames(false, names);
  return true;
}

void SdlWaveOut::HandBackLocked(bool notify) {
  for (WaveHeader* header : queue) {
    header->done = 1;
    header->queued = 0;
    if (notify) platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(header)});
  }
  queue.clear();
  played = 0;
  startsCapture = nullptr;
}

void SdlWaveOut::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlWaveOut*>(self)->Fill(stream, static_cast<size_t>(std::max(length, 0)));
}

void SdlWaveOut::Fill(Uint8* stream, size_t length) {
  size_t filled = 0;
  {
    const std::lock_guard<std::mutex> hold(lock);
    clock.AddOrigin(SteadyNs() - FramesToNs(handed));
    while (!queue.empty()) {
      WaveHeader* front = queue.front();
      if (front == startsCapture && played == 0) {
        clock.captureStart = handed + static_cast<int64_t>(filled / 4);
        startsCapture = nullptr;
      }
      const size_t take = std::min<size_t>(length - filled, front->bufferLength - played);
      if (take != 0) std::memcpy(stream + filled, front->data + played, take);
      filled += take;
      played += static_cast<uint32_t>(take);
      if (played < front->bufferLength) break;  // the stream is full
      queue.erase(queue.begin());
      played = 0;
      front->done = 1;
      front->queued = 0;
      // Posted under the lock so a Reset can never slip its notices in front.
      platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(front)});
    }
    handed += static_cast<int64_t>(length / 4);
  }
  std::memset(stream + filled, 0, length - filled);
}
