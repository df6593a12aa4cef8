#include <algorithm>
#include <atomic>
#include <cstring>

#include "devices/jack/jack_wave_devices.h"
#include "devices/jack/sample_convert.h"
#include "platform/platform.h"

namespace {

// The core reads `queued` to refuse a second Write of a buffer the process
// thread may be handing back at that moment.
std::atomic_ref<uint32_t> Queued(WaveHeader& header) {
  return std::atomic_ref<uint32_t>(header.queued);
}

}  // namespace

int JackWaveOut::Open() {
  if (open) Close();
  if (!session.EnsureRunning()) return kJackOpenFailed;
  const std::lock_guard<std::mutex> hold(lock);
  ++generation;
  open = true;
  return kWaveOk;
}

void JackWaveOut::Close() {
  const std::lock_guard<std::mutex> hold(lock);
  HandBackLocked(false);
  ++generation;
  open = false;
}

int JackWaveOut::Write(WaveHeader& header) {
  if (!open) return kJackNotOpen;
  if (!session.Running()) return kJackServerGone;
  if (header.data == nullptr && header.bufferLength != 0) return kJackBadBuffer;
  // Queued twice, a buffer would be played twice and handed back while JACK
  // still reads from it.
  if (Queued(header).load() != 0) return kWaveStillPlaying;
  header.done = 0;
  Queued(header).store(1);
  const QueuedBuffer entry{&header, session.in.TakeStartRequest()};
  if (!queue.Push(entry)) {
    if (entry.startsCapture) session.in.ReturnStartRequest();
    Queued(header).store(0);
    return kJackQueueFull;
  }
  return kWaveOk;
}

int JackWaveOut::Reset() {
  {
    const std::lock_guard<std::mutex> hold(lock);
    HandBackLocked(true);
    ++generation;
  }
  if (!open) return kJackNotOpen;
  return session.Running() ? kWaveOk : kJackServerGone;
}

void JackWaveOut::HandBackLocked(bool notify) {
  for (;;) {
    if (playing.header == nullptr && !queue.Pop(playing)) break;
    WaveHeader* header = playing.header;
    playing = {};
    header->done = 1;
    Queued(*header).store(0);
    if (notify) platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(header)});
  }
  played = 0;
}

int JackWaveOut::Render(float* left, float* right, uint32_t n) {
  std::unique_lock<std::mutex> hold(lock, std::try_to_lock);
  if (!hold.owns_lock()) {
    std::fill(left, left + n, 0.0f);
    std::fill(right, right + n, 0.0f);
    return -1;
  }
  int startedAt = -1;
  uint32_t at = 0;
  while (at < n) {
    if (playing.header == nullptr) {
      if (!queue.Pop(playing)) break;
      played = 0;
      if (playing.startsCapture) startedAt = static_cast<int>(at);
    }
    WaveHeader& header = *playing.header;
    const uint32_t frames = std::min((header.bufferLength - played) / 4, n - at);
    FramesToFloat(header.data + played, frames, left + at, right + at);
    played += frames * 4;
    at += frames;
    // A last partial frame is not played: the format has none.
    if (header.bufferLength - played >= 4) continue;
    playing = {};
    played = 0;
    header.done = 1;
    Queued(header).store(0);
    platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(&header)});
  }
  std::fill(left + at, left + n, 0.0f);
  std::fill(right + at, right + n, 0.0f);
  return startedAt;
}
