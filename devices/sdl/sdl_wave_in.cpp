#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <string>

#include "devices/sdl/sdl_wave_devices.h"
#include "platform/platform.h"

namespace {

// A change between the output's and the input's clocks smaller than this is
// the callbacks' jitter; the servers' blocks that went missing under load were
// 256 frames and more.
constexpr int64_t kSlipFrames = 200;
// A change shows first in the latest few readings; it counts once it has
// lasted this many chunks (more than a third of a second), longer than a busy
// machine keeps a callback waiting, while a lost block stays for good.
constexpr int kSlipReadings = 4;
constexpr int kSlipChunks = 16;

std::atomic_ref<uint32_t> Queued(WaveHeader& header) {
  return std::atomic_ref<uint32_t>(header.queued);
}

uint32_t Frames(int64_t frames) {
  return static_cast<uint32_t>(std::clamp<int64_t>(frames, 0, UINT32_MAX));
}

}  // namespace

SdlWaveIn::SdlWaveIn(PlaybackClock& c, const SdlWaveOut& o) : clock(c), output(o) {}

SdlWaveIn::~SdlWaveIn() {
  if (device != 0) SDL_CloseAudioDevice(device);
}

void SdlWaveIn::Port::HandBack(WaveHeader& header) const {
  header.done = 1;
  Queued(header).store(0);
  if (notify) {
    platform().Post({MM_WIM_DATA, device.generation, reinterpret_cast<intptr_t>(&header)});
  }
}

int SdlWaveIn::Open() {
  if (device != 0) Close();
  // SDL opens capture paused, and a paused device never calls back: nothing is
  // taken from the card before Start, and all of this is ours until then.
  const SDL_AudioDeviceID opened = OpenSdlDevice(true, chosen, &SdlWaveIn::Callback, this);
  if (opened == 0) return kSdlOpenFailed;
  device = opened;
  capturing = false;
  lostTold = false;
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
  // Queued twice, a buffer would be filled and handed back twice.
  if (Queued(header).load() != 0) return kWaveStillPlaying;
  header.done = 0;
  header.bytesRecorded = 0;
  Queued(header).store(1);
  if (!queue.Push(&header)) {
    Queued(header).store(0);
    return kSdlQueueFull;
  }
  return kWaveOk;
}

int SdlWaveIn::Start() {
  if (device == 0) return kSdlNotOpen;
  if (!SdlDeviceAlive(device)) return kSdlDeviceLost;
  SDL_LockAudioDevice(device);
  capturing = true;
  clock.captureStart = -1;
  arrived = 0;
  arrivals.Forget();
  keptBytes = 0;
  skip = 0;
  slipChunks = 0;
  // With no playback there is nothing to line up with: capture at once.
  lineUp = clock.outputRunning.load();
  sharedClock = SdlStreamsShareAClock();
  placed = !lineUp;
  if (placed) cursor.Begin(0);
  clock.startRequested = lineUp;
  SDL_UnlockAudioDevice(device);
  SDL_PauseAudioDevice(device, 0);
  return kWaveOk;
}

int SdlWaveIn::Reset() {
  const int result = ResetSdlDevice(device, generation, [this] { HandBack(true); });
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
  // A buffer still queued would otherwise stay marked as held by a device that
  // no longer exists; it comes back like a reset's, ahead of the close notice.
  HandBack(true);
  platform().Post({MM_WIM_CLOSE, generation, 0});
  ++generation;
  return kWaveOk;
}

void SdlWaveIn::Abandon() {
  if (device != 0) {
    SDL_CloseAudioDevice(device);
    device = 0;
  }
  HandBack(false);
  ++generation;
}

uint32_t SdlWaveIn::Generation() const {
  return generation;
}

bool SdlWaveIn::DeviceNames(std::vector<std::string>& names) {
  SdlDeviceNames(true, names);
  return true;
}

void SdlWaveIn::HandBack(bool notify) {
  capturing = false;
  placed = false;
  clock.startRequested = false;
  cursor.HandBackAll(Port{*this, notify});
}

void SdlWaveIn::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlWaveIn*>(self)->Capture(stream, static_cast<uint32_t>(std::max(length, 0) / 4));
}

void SdlWaveIn::Capture(const Uint8* stream, uint32_t frames) {
  // SDL calls on with silence once the device is gone.
  if (!lostTold && !SdlDeviceAlive(device)) {
    lostTold = true;
    platform().Post({WM_WAVE_LOST, generation, 1});
  }
  if (!capturing) return;
  // The chunk's last frame arrived about now.
  arrived += frames;
  arrivals.Add(SteadyNs() - FramesToNs(arrived));
  if (placed) {
    Follow(stream, frames);
  } else {
    Place(stream, frames);
  }
}

int64_t SdlWaveIn::ClockOffset(int latest) const {
  return NsToFrames(arrivals.Earliest(latest) - clock.origin.Earliest(latest));
}

void SdlWaveIn::Place(const Uint8* stream, uint32_t frames) {
  const int64_t start = clock.captureStart.load();
  // Until the output has begun that buffer, all that arrives came before it.
  if (start < 0) return;
  const size_t length = size_t{frames} * 4;
  const size_t keep = std::min(length, sizeof kept - keptBytes);
  std::memcpy(kept + keptBytes, stream, keep);
  keptBytes += keep;
  if (keep == length && keptBytes + length <= sizeof kept) return;
  const int64_t offset = ClockOffset();
  const auto keptFrames = static_cast<int64_t>(keptBytes / 4);
  // The playback frame handed to SDL while the first kept frame arrived.
  const int64_t first = offset + arrived - keptFrames;
  if (first + keptFrames <= start) {
    keptBytes = 0;
    return;
  }
  placed = true;
  placedOffset = offset;
  stalledSeen = clock.stalled.load();
  cursor.Begin(0);
  const int64_t skipped = std::max<int64_t>(start - first, 0);
  // A late start is padded: the input's chunks, not a dropout, put it there.
  cursor.Store(nullptr, Frames(first - start), Port{*this});
  cursor.Store(kept + skipped * 4, Frames(keptFrames - skipped), Port{*this});
  keptBytes = 0;
}

void SdlWaveIn::Follow(const Uint8* stream, uint32_t frames) {
  if (lineUp) {
    const int64_t stalled = clock.stalled.load();
    if (stalled != stalledSeen) {
      skip += stalled - stalledSeen;
      cursor.Dropout(Frames(stalled - stalledSeen), Port{*this});
      stalledSeen = stalled;
    }
  }
  if (lineUp && sharedClock) {
    const int64_t seen = ClockOffset(kSlipReadings) - placedOffset;
    const bool slipped = std::abs(seen) >= kSlipFrames;
    if (!slipped || (slipChunks > 0 && (seen > 0) != slipLater)) slipChunks = 0;
    slipLater = seen > 0;
    // By now every reading is of after the change: all of them measure it.
    const int64_t drift = ClockOffset() - placedOffset;
    if (slipped && ++slipChunks >= kSlipChunks && std::abs(drift) >= kSlipFrames &&
        (drift > 0) == slipLater) {
      if (drift > 0) {
        // Input went missing (the server dropped a block of it): its place
        // stays empty and what follows keeps its own.
        cursor.Lose(Frames(drift), Port{*this});
      } else {
        // The output fell behind (the server played silence for it): the
        // song stood still, and what arrives meanwhile answers nothing of it.
        skip -= drift;
        cursor.Dropout(Frames(-drift), Port{*this});
      }
      placedOffset += drift;
      slipChunks = 0;
    }
  }
  const auto dropped = static_cast<uint32_t>(std::min<int64_t>(skip, frames));
  skip -= dropped;
  cursor.Store(stream + size_t{dropped} * 4, frames - dropped, Port{*this});
}
