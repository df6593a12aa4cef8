#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

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

CycleGate::Shut::Shut(CycleGate& g) : gate(g) {
  gate.shut.store(true);
  while (gate.inside.load()) std::this_thread::yield();
}

int JackWaveOut::Open() {
  if (open) Close();
  if (!session.EnsureRunning()) return kJackOpenFailed;
  const CycleGate::Shut shut(gate);
  ++generation;
  open = true;
  return kWaveOk;
}

void JackWaveOut::Close() {
  {
    const CycleGate::Shut shut(gate);
    HandBack(false);
    ++generation;
    open = false;
  }
  session.LetGoIfGone();
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
    const CycleGate::Shut shut(gate);
    HandBack(true);
    ++generation;
  }
  if (!open) return kJackNotOpen;
  return session.Running() ? kWaveOk : kJackServerGone;
}

void JackWaveOut::HandBack(bool notify) {
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

CyclePlayed JackWaveOut::Render(float* left, float* right, uint32_t n) {
  CyclePlayed cycle;
  uint32_t at = 0;
  if (gate.Enter()) {
    while (at < n) {
      if (playing.header == nullptr) {
        if (!queue.Pop(playing)) break;
        played = 0;
        if (playing.startsCapture) cycle.startedAt = static_cast<int>(at);
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
    gate.Leave();
  }
  cycle.songFrames = at;
  std::fill(left + at, left + n, 0.0f);
  std::fill(right + at, right + n, 0.0f);
  return cycle;
}
