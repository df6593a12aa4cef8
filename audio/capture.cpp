#include "audio/capture.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "audio/input_channels.h"
#include "base/buffer.h"

namespace {

constexpr uint32_t kCaptureBytes = 16384;

enum class State { Idle, Running, Ended };

// Capture buffers exist only during a capture; the headers for the program's
// life. `held` lists, in the order they were queued, the buffers the device has
// and whose bytes are not stored yet: a reset hands them back all at once, and
// the capture must keep them in that order.
struct Input {
  Buffer buffers[2];
  WaveHeader headers[2];
  int held[2] = {};
  int heldCount = 0;
  State state = State::Idle;
  uint8_t* target = nullptr;
  int64_t size = 0;
  int64_t next = 0;  // target offset of the next captured byte
};
Input input;

int HeaderIndex(const WaveHeader& header) {
  for (int i = 0; i < 2; ++i) {
    if (&header == &input.headers[i]) return i;
  }
  return -1;
}

bool Queue(int i) {
  if (waveIn().AddBuffer(input.headers[i]) != kWaveOk) return false;
  input.held[input.heldCount++] = i;
  return true;
}

// Forgets a buffer the device gave back; false when it was not held.
bool Unhold(int i) {
  int* end = input.held + input.heldCount;
  int* found = std::find(input.held, end, i);
  if (found == end) return false;
  std::copy(found + 1, end, found);
  --input.heldCount;
  return true;
}

// Copies a returned buffer behind the last one; false when it no longer fits.
bool Store(const WaveHeader& header) {
  const int64_t n = std::min(header.bytesRecorded, header.bufferLength);
  if (input.next + n > input.size) return false;
  // Bytes that belong before the target's start are counted, not kept.
  const int64_t skip = std::clamp<int64_t>(-input.next, 0, n);
  if (input.target != nullptr && n > skip) {
    std::memcpy(input.target + input.next + skip, header.data + skip,
                static_cast<size_t>(n - skip));
    // Here, so that every device's input, a take and a measurement alike, and
    // the input meter reading the target, hold the chosen channels.
    KeepInputChannels(input.target + input.next + skip, n - skip);
  }
  input.next += n;
  return true;
}

// After a reset every held buffer is marked done with its final count: take them
// in queue order, as their (now stale) notices would have delivered them.
void CollectReturned() {
  while (input.heldCount > 0) {
    const int i = input.held[0];
    Unhold(i);
    if (input.headers[i].done) Store(input.headers[i]);
  }
}

void ReleaseBuffers() {
  for (int i = 0; i < 2; ++i) {
    input.headers[i] = WaveHeader{};
    input.buffers[i].reset();
  }
  input.heldCount = 0;
}

}  // namespace

CaptureOpened CaptureOpen(uint8_t* target, int64_t size, int64_t first) {
  Buffer a = TryAllocate(kCaptureBytes);
  Buffer b = TryAllocate(kCaptureBytes);
  if (!a || !b) return CaptureOpened::NoMemory;
  if (waveIn().Open() != kWaveOk) return CaptureOpened::NoDevice;
  input.buffers[0] = std::move(a);
  input.buffers[1] = std::move(b);
  input.heldCount = 0;
  for (int i = 0; i < 2; ++i) {
    input.headers[i] = WaveHeader{};
    input.headers[i].data = input.buffers[i].get();
    input.headers[i].bufferLength = kCaptureBytes;
  }
  Queue(0);
  Queue(1);
  input.target = target;
  input.size = size;
  input.next = first;
  input.state = State::Running;
  return CaptureOpened::Yes;
}

void CaptureData(WaveHeader& header) {
  const int i = HeaderIndex(header);
  if (input.state != State::Running || i < 0 || !Unhold(i)) return;
  if (Store(header)) {
    Queue(i);
    return;
  }
  // The target is full: the device captures nothing more, and whatever the
  // other buffer caught before the reset is kept if it still fits.
  input.state = State::Ended;
  waveIn().Reset();
  CollectReturned();
}

void CaptureClosed() {
  // Our own close is stale by the time it arrives; a current one means the
  // device went away by itself: what was captured is still there at the end.
  ReleaseBuffers();
  if (input.state == State::Running) input.state = State::Ended;
}

bool CaptureActive() {
  return input.state != State::Idle;
}

bool CaptureOver() {
  return input.state == State::Ended;
}

int64_t CaptureEnd() {
  if (input.state == State::Running) {
    waveIn().Reset();
    CollectReturned();
  }
  if (input.state != State::Idle) waveIn().Close();
  ReleaseBuffers();
  input.state = State::Idle;
  return input.next;
}

void CaptureRelease() {
  if (input.state != State::Idle) {
    waveIn().Reset();
    waveIn().Close();
  }
  ReleaseBuffers();
  input.state = State::Idle;
  input.target = nullptr;
  input.next = 0;
}
