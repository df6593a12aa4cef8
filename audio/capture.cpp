#include "audio/capture.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "audio/input_channels.h"
#include "base/buffer.h"

namespace {

constexpr uint32_t kCaptureBytes = 16384;
// About two and a quarter seconds of input: a core held up that long (a slow
// disk, a busy machine) still finds every frame waiting in a buffer.
constexpr int kCaptureBuffers = 24;
// Gaps closer than this (50 ms) are one dropout to whoever hears the take.
constexpr int64_t kOneDropoutBytes = 8820;

enum class State { Idle, Running, Ended };

// Capture buffers exist only during a capture (one block); the headers for the
// program's life. `held` lists, in the order they were queued, the buffers the
// device has and whose bytes are not stored yet: a reset hands them back all at
// once, and the capture takes them in that order.
struct Input {
  Buffer memory;
  WaveHeader headers[kCaptureBuffers];
  int held[kCaptureBuffers] = {};
  int heldCount = 0;
  State state = State::Idle;
  uint8_t* target = nullptr;
  int64_t size = 0;
  int64_t first = 0;  // target offset of timeline frame 0
  int64_t next = 0;   // target offset behind the last byte stored
  int64_t lastDropoutEnd = 0;
  CaptureDropouts dropouts;
};
Input input;

int HeaderIndex(const WaveHeader& header) {
  for (int i = 0; i < kCaptureBuffers; ++i) {
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

// `bytes` of input missing at target offset `at`, of which `span` bytes of the
// target hold nothing (an interruption without a gap spans none).
void NoteDropout(int64_t at, int64_t bytes, int64_t span) {
  // Only what falls in the target is the capture's: the round trip's bytes
  // before it are dropped anyway.
  if (at < 0) {
    const int64_t cut = std::min(-at, span);
    at += cut;
    bytes -= cut;
    span -= cut;
  }
  if (bytes <= 0 || at >= input.size) return;
  CaptureDropouts& d = input.dropouts;
  d.bytes += bytes;
  if (span == 0) d.stalledBytes += bytes;
  if (d.count > 0 && at - input.lastDropoutEnd < kOneDropoutBytes) {
    if (d.count <= CaptureDropouts::kKept) d.kept[d.count - 1].bytes += bytes;
  } else {
    if (d.count < CaptureDropouts::kKept) d.kept[d.count] = {at, bytes};
    ++d.count;
  }
  input.lastDropoutEnd = std::max(input.lastDropoutEnd, at + span);
}

// Copies a returned buffer to its place; false once the target is full.
bool Store(const WaveHeader& header) {
  const int64_t n = std::min(header.bytesRecorded, header.bufferLength) / 4 * 4;
  if (n == 0) return true;  // nothing captured: no place to speak of
  // A place the target cannot hold (a device gone wrong) is past its end.
  const int64_t limit = (input.size - input.first) / 4 + 1;
  const int64_t frame = std::clamp<int64_t>(header.timelineFrame, 0, std::max<int64_t>(limit, 0));
  const int64_t at = input.first + frame * 4;
  if (at > input.next) NoteDropout(input.next, at - input.next, at - input.next);
  NoteDropout(at, int64_t{header.dropoutFrames} * 4, 0);
  const int64_t from = std::max<int64_t>(at, 0);
  const int64_t to = std::min(at + n, input.size);
  if (input.target != nullptr && to > from) {
    std::memcpy(input.target + from, header.data + (from - at), static_cast<size_t>(to - from));
    // Here, so that every device's input, a take and a measurement alike, and
    // the input meter reading the target, hold the chosen channels.
    KeepInputChannels(input.target + from, to - from);
  }
  input.next = std::max(input.next, std::min(at + n, input.size));
  return at + n < input.size;
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
  for (WaveHeader& header : input.headers) header = WaveHeader{};
  input.memory.reset();
  input.heldCount = 0;
}

}  // namespace

CaptureOpened CaptureOpen(uint8_t* target, int64_t size, int64_t first) {
  Buffer memory = TryAllocate(size_t{kCaptureBytes} * kCaptureBuffers);
  if (!memory) return CaptureOpened::NoMemory;
  if (waveIn().Open() != kWaveOk) return CaptureOpened::NoDevice;
  input.memory = std::move(memory);
  input.heldCount = 0;
  for (int i = 0; i < kCaptureBuffers; ++i) {
    input.headers[i] = WaveHeader{};
    input.headers[i].data = input.memory.get() + size_t{kCaptureBytes} * static_cast<size_t>(i);
    input.headers[i].bufferLength = kCaptureBytes;
  }
  for (int i = 0; i < kCaptureBuffers; ++i) Queue(i);
  input.target = target;
  input.size = size;
  input.first = first;
  input.next = first;
  input.lastDropoutEnd = first;
  input.dropouts = CaptureDropouts{};
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
  // other buffers caught before the reset is kept as far as it fits.
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
  input.dropouts = CaptureDropouts{};
}

const CaptureDropouts& CaptureDropoutsFound() {
  return input.dropouts;
}
