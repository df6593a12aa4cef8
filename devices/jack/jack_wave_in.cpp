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

void JackWaveIn::Port::HandBack(WaveHeader& header) const {
  header.done = 1;
  Queued(header).store(0);
  if (notify) {
    platform().Post({MM_WIM_DATA, device.generation, reinterpret_cast<intptr_t>(&header)});
  }
}

int JackWaveIn::Open() {
  if (open) Close();
  if (!session.EnsureRunning()) return kJackOpenFailed;
  const CycleGate::Shut shut(gate);
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
  if (!queue.Push(&header)) {
    Queued(header).store(0);
    return kJackQueueFull;
  }
  return kWaveOk;
}

int JackWaveIn::Start() {
  if (!open) return kJackNotOpen;
  if (!session.Running()) return kJackServerGone;
  if (state != State::Stopped) return kWaveOk;
  // With nothing to play, there is no playback to line up with: capture at once.
  if (session.out.IsOpen()) {
    startRequested = true;
    state = State::WaitingForOutput;
  } else {
    cursor.Begin(0);
    state = State::Capturing;
  }
  return kWaveOk;
}

int JackWaveIn::Reset() {
  {
    const CycleGate::Shut shut(gate);
    HandBack(true);
    ++generation;
  }
  if (!open) return kJackNotOpen;
  return session.Running() ? kWaveOk : kJackServerGone;
}

int JackWaveIn::Close() {
  if (!open) return kJackNotOpen;
  {
    const CycleGate::Shut shut(gate);
    // A buffer still queued comes back like a reset's, ahead of the close notice.
    HandBack(true);
    platform().Post({MM_WIM_CLOSE, generation, 0});
    ++generation;
    open = false;
  }
  session.LetGoIfGone();
  return kWaveOk;
}

void JackWaveIn::Abandon() {
  const CycleGate::Shut shut(gate);
  HandBack(false);
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

void JackWaveIn::HandBack(bool notify) {
  state = State::Stopped;
  startRequested = false;
  cursor.HandBackAll(Port{*this, notify});
}

void JackWaveIn::Capture(const float* left, const float* right, uint32_t n,
                         const CyclePlayed& played, uint32_t interrupted) {
  if (!gate.Enter()) return;
  uint32_t at = 0;
  State now = state.load();
  if (now == State::WaitingForOutput && played.startedAt >= 0) {
    now = State::Capturing;
    state = now;
    cursor.Begin(0);
    at = static_cast<uint32_t>(played.startedAt);
  } else if (now == State::Capturing) {
    cursor.Dropout(interrupted, Port{*this});
  }
  if (now == State::Capturing) {
    const uint32_t song = std::max(at, played.songFrames);
    while (at < song) {
      const std::span<uint8_t> room = cursor.Room(song - at, Port{*this});
      // Input with no buffer queued is lost, as on any card; its place stays.
      if (room.empty()) {
        cursor.Lose(song - at, Port{*this});
        break;
      }
      const auto frames = static_cast<uint32_t>(room.size() / 4);
      FloatToFrames(left + at, right + at, frames, room.data());
      cursor.Advance(frames, Port{*this});
      at += frames;
    }
    // The queue ran dry: the song stood still while time went on.
    cursor.Dropout(n - song, Port{*this});
  }
  gate.Leave();
}
