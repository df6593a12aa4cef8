#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "devices/sdl/sdl_wave_devices.h"
#include "platform/platform.h"

SdlWaveIn::SdlWaveIn(PlaybackClock& c, const SdlWaveOut& o) : clock(c), output(o) {
  // Room enough that queuing from the core never allocates while SDL's thread
  // is copying.
  queue.reserve(16);
}

SdlWaveIn::~SdlWaveIn() {
  if (device != 0) SDL_CloseAudioDevice(device);
}

int SdlWaveIn::Open() {
  if (device != 0) Close();
  // SDL opens capture paused: nothing is taken from the card before Start.
  const SDL_AudioDeviceID opened = OpenSdlDevice(true, chosen, &SdlWaveIn::Callback, this);
  if (opened == 0) return kSdlOpenFailed;
  device = opened;
  const std::lock_guard<std::mutex> hold(lock);
  capturing = false;
  ++generation;
  return kWaveOk;
}

std::string SdlWaveIn::PathKey() const {
  const char* driver = EnsureSdlAudio() ? SDL_GetCurrentAudioDriver() : nullptr;
  return "sdl:" + std::string(driver != nullptr ? driver : "none") + ":" +
         SdlDeviceInUse(false, output.Chosen()) + "|" + SdlDeviceInUse(true, chosen);
}

int SdlWaveIn::AddBuffer(WaveHeader& header) {
  if (device == 0) return kSdlNotOpen;
  if (!SdlDeviceAlive(device)) return kSdlDeviceLost;
  if (header.data == nullptr && header.bufferLength != 0) return kSdlBadBuffer;
  const std::lock_guard<std::mutex> hold(lock);
  // Queued twice, a buffer would be filled and handed back twice.
  if (header.queued != 0) return kWaveStillPlaying;
  header.done = 0;
  header.queued = 1;
  header.bytesRecorded = 0;
  queue.push_back(&header);
  return kWaveOk;
}

int SdlWaveIn::Start() {
  if (device == 0) return kSdlNotOpen;
  if (!SdlDeviceAlive(device)) return kSdlDeviceLost;
  {
    const std::lock_guard<std::mutex> hold(lock);
    capturing = true;
    clock.captureStart = -1;
    arrived = 0;
    arrivalOrigin = INT64_MAX;
    keptBytes = 0;
    // With no playback there is nothing to line up with: capture at once.
    placed = !clock.outputRunning.load();
    clock.startRequested = !placed;
  }
  SDL_PauseAudioDevice(device, 0);
  return kWaveOk;
}

int SdlWaveIn::Reset() {
  const int result = ResetSdlDevice(device, lock, generation, [this] { HandBackLocked(true); });
  // Pausing only spares SDL the reading; `capturing` already drops anything
  // that arrives before it takes effect.
  if (device != 0) SDL_PauseAudioDevice(device, 1);
  return result;
}

int SdlWaveIn::Close() {
  if (device == 0) return kSdlNotOpen;
  // Joins SDL's thread: no callback runs after this.
  SDL_CloseAudioDevice(device);
  device = 0;
  const std::lock_guard<std::mutex> hold(lock);
  // A buffer still queued would otherwise stay marked as held by a device that
  // no longer exists; it comes back like a reset's, ahead of the close notice.
  HandBackLocked(true);
  platform().Post({MM_WIM_CLOSE, generation, 0});
  ++generation;
  return kWaveOk;
}

void SdlWaveIn::Abandon() {
  if (device != 0) {
    SDL_CloseAudioDevice(device);
    device = 0;
  }
  const std::lock_guard<std::mutex> hold(lock);
  HandBackLocked(false);
  ++generation;
}

uint32_t SdlWaveIn::Generation() const {
  return generation;
}

bool SdlWaveIn::DeviceNames(std::vector<std::string>& names) {
  SdlDeviceNames(true, names);
  return true;
}

void SdlWaveIn::HandBackLocked(bool notify) {
  capturing = false;
  placed = false;
  clock.startRequested = false;
  for (WaveHeader* header : queue) {
    header->done = 1;
    header->queued = 0;
    if (notify) platform().Post({MM_WIM_DATA, generation, reinterpret_cast<intptr_t>(header)});
  }
  queue.clear();
}

void SdlWaveIn::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlWaveIn*>(self)->Capture(stream, static_cast<size_t>(std::max(length, 0)));
}

void SdlWaveIn::Capture(const Uint8* stream, size_t length) {
  const std::lock_guard<std::mutex> hold(lock);
  if (!capturing) return;
  if (placed) {
    Store(stream, length);
  } else {
    Place(stream, length);
  }
}

void SdlWaveIn::Place(const Uint8* stream, size_t length) {
  // The chunk's last frame arrived about now.
  arrived += static_cast<int64_t>(length / 4);
  arrivalOrigin = std::min(arrivalOrigin, SteadyNs() - FramesToNs(arrived));
  const int64_t start = clock.captureStart.load();
  // Until the output has begun that buffer, all that arrives came before it.
  if (start < 0) return;
  const size_t keep = std::min(length, sizeof kept - keptBytes);
  std::memcpy(kept + keptBytes, stream, keep);
  keptBytes += keep;
  if (keep == length && keptBytes + length <= sizeof kept) return;
  const int64_t playbackOrigin = clock.Origin();
  const auto keptFrames = static_cast<int64_t>(keptBytes / 4);
  // The playback frame handed to SDL while the first kept frame arrived.
  const int64_t first = NsToFrames(arrivalOrigin - playbackOrigin) + arrived - keptFrames;
  if (first + keptFrames <= start) {
    keptBytes = 0;
    return;
  }
  placed = true;
  const size_t skip = first < start ? static_cast<size_t>(start - first) * 4 : 0;
  // More silence than the queued buffers hold is lost like any input without
  // a buffer; the first sound arrives well within them.
  if (first > start) Store(nullptr, static_cast<size_t>(first - start) * 4);
  Store(kept + skip, keptBytes - skip);
  keptBytes = 0;
}

void SdlWaveIn::Store(const Uint8* bytes, size_t length) {
  size_t used = 0;
  while (!queue.empty()) {
    WaveHeader* front = queue.front();
    const size_t take = std::min<size_t>(length - used, front->bufferLength - front->bytesRecorded);
    if (take != 0) {
      uint8_t* to = front->data + front->bytesRecorded;
      if (bytes != nullptr) {
        std::memcpy(to, bytes + used, take);
      } else {
        std::memset(to, 0, take);
      }
    }
    used += take;
    front->bytesRecorded += static_cast<uint32_t>(take);
    if (front->bytesRecorded < front->bufferLength) break;  // the input is used up
    queue.erase(queue.begin());
    front->done = 1;
    front->queued = 0;
    // Posted under the lock so a Reset can never slip its notices in front.
    platform().Post({MM_WIM_DATA, generation, reinterpret_cast<intptr_t>(front)});
  }
  // Input with no buffer queued is lost, as on any card.
}
