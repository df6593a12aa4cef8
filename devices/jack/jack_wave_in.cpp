#include <algorithm>
#include <atomic>
#include <string>

#include "devices/jack/jack_wave_devices.h"
#include "devices/jack/sample_convert.h"
#include "platform/platform.h"

namespace {

std::atomic_ref<uint32_t> Queued(WaveHeader& header) {
  return std::atomic_ref<uint32_t>(header.queued);
}

}  // namespace

int JackWaveIn::Open() {
  if (open) Close();
  if (!session.EnsureRunning()) return kJackOpenFailed;
  const std::lock_guard<std::mutex> hold(lock);
  state = State::Stopped;
  startRequested = false;
  ++generation;
  open = true;
  return kWaveOk;
}

int JackWaveIn::AddBuffer(WaveHeader& header) {
  if (!open) return kJackNotOpen;
  if (!session.Running()) return kJackServerGone;
  if (header.data == nullptr && header.bufferLength != 0) return kJackBadBuffer;
  // Queued twice, a buffer would be filled and handed back twice.
  if (Queued(header).load() != 0) return kWaveStillPlaying;
  header.done = 0;
  header.bytesRecorded = 0;
  Queued(header).store(1);
  if (!queue.Push({&header, false})) {
    Queued(header).store(0);
    return kJackQueueFull;
  }
  return kWaveOk;
}

int JackWaveIn::Start() {
  if (!open) return kJackNotOpen;
  if (!session.Running()) return kJackServerGone;
  const std::lock_guard<std::mutex> hold(lock);
  if (state != State::Stopped) return kWaveOk;
  // With nothing to play, there is no playback to line up with: capture at once.
  if (session.out.IsOpen()) {
    state = State::WaitingForOutput;
    startRequested = true;
  } else {
    state = State::Capturing;
  }
  return kWaveOk;
}

int JackWaveIn::Reset() {
  {
    const std::lock_guard<std::mutex> hold(lock);
    HandBackLocked(true);
    ++generation;
  }
  if (!open) return kJackNotOpen;
  return session.Running() ? kWaveOk : kJackServerGone;
}

int JackWaveIn::Close() {
  if (!open) return kJackNotOpen;
  const std::lock_guard<std::mutex> hold(lock);
  // A buffer still queued comes back like a reset's, ahead of the close notice.
  HandBackLocked(true);
  platform().Post({MM_WIM_CLOSE, generation, 0});
  ++generation;
  open = false;
  return kWaveOk;
}

void JackWaveIn::Abandon() {
  const std::lock_guard<std::mutex> hold(lock);
  HandBackLocked(false);
  ++generation;
  open = false;
}

uint32_t JackWaveIn::RoundTripFrames() const {
  return session.RoundTripFrames();
}

std::string JackWaveIn::PathKey() const {
  // The routing is the user's and changes freely; what a loop through another
  // client adds, and what the server's buffers hold, follow the period.
  return "jack:" + std::to_string(session.Period());
}

bool JackWaveIn::InputsConnected() const {
  return session.InputsConnected();
}

void JackWaveIn::HandBackLocked(bool notify) {
  state = State::Stopped;
  startRequested = false;
  QueuedBuffer next;
  for (;;) {
    if (filling == nullptr) {
      if (!queue.Pop(next)) break;
      filling = next.header;
    }
    WaveHeader* header = filling;
    filling = nullptr;
    header->done = 1;
    Queued(*header).store(0);
    if (notify) platform().Post({MM_WIM_DATA, generation, reinterpret_cast<intptr_t>(header)});
  }
}

void JackWaveIn::Capture(const float* left, const float* right, uint32_t n, int outputStartedAt) {
  std::unique_lock<std::mutex> hold(lock, std::try_to_lock);
  if (!hold.owns_lock()) return;
  uint32_t at = 0;
  if (state == State::WaitingForOutput) {
    if (outputStartedAt < 0) return;
    state = State::Capturing;
    at = static_cast<uint32_t>(outputStartedAt);
  }
  if (state != State::Capturing) return;
  while (at < n) {
    if (filling == nullptr) {
      QueuedBuffer next;
      // Input with no buffer queued is lost, as on any card.
      if (!queue.Pop(next)) return;
      filling = next.header;
    }
    WaveHeader& header = *filling;
    const uint32_t frames = std::min((header.bufferLength - header.bytesRecorded) / 4, n - at);
    FloatToFrames(left + at, right + at, frames, header.data + header.bytesRecorded);
    header.bytesRecorded += frames * 4;
    at += frames;
    if (header.bufferLength - header.bytesRecorded >= 4) continue;
    filling = nullptr;
    header.done = 1;
    Queued(header).store(0);
    platform().Post({MM_WIM_DATA, generation, reinterpret_cast<intptr_t>(&header)});
  }
}
