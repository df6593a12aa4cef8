#include "audio/recording.h"

#include <algorithm>
#include <cstring>

#include "audio/stream.h"
#include "base/buffer.h"
#include "platform/platform.h"
#include "song/song_file.h"
#include "song/undo.h"
#include "song/song_state.h"

namespace {

constexpr uint32_t kCaptureBytes = 16384;

enum class Capture { Idle, Running, Ended };

// Capture buffers exist only during a recording; the headers for the program's
// life. `held` lists, in the order they were queued, the buffers the device has
// and whose bytes are not stored yet: a reset hands them back all at once, and
// the take must keep them in that order.
struct Input {
  Buffer buffers[2];
  WaveHeader headers[2];
  int held[2] = {};
  int heldCount = 0;
  Capture state = Capture::Idle;
  int32_t captureOffset = 0;
  // The armed track's loop before the take switched it off, for Undo.
  LoopSettings loopBefore;
};
Input input;

void ShowError(const char* text) {
  platform().ShowMessage(text, "Error");
}

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

// Copies a returned buffer into the timeline; false when it no longer fits.
bool Store(const WaveHeader& header) {
  const uint32_t n = std::min(header.bytesRecorded, header.bufferLength);
  if (int64_t{input.captureOffset} + n > TrackRegionBytes) return false;
  if (song.workBuffer && n > 0) {
    std::memcpy(song.workBuffer.get() + input.captureOffset, header.data, n);
  }
  input.captureOffset += static_cast<int32_t>(n);
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

int RecordInit() {
  ReleaseBuffers();
  input.state = Capture::Idle;
  input.captureOffset = 0;
  return 1;
}

int RecordStart() {
  // A take replaces the track's audio from the start of the run: it no longer
  // loops, even when the recording cannot start.
  Track& armed = tracks[song.armedTrack];
  input.loopBefore = LoopOf(armed);
  armed.loopOn = 0;
  PrepareUndo();
  Buffer a = TryAllocate(kCaptureBytes);
  Buffer b = TryAllocate(kCaptureBytes);
  if (!a || !b) {
    platform().Beep();
    ShowError("Error: RecordStart");
    return 0;
  }
  if (waveIn().Open() != kWaveOk) {
    platform().Beep();
    ShowError("Error: waveInOpen");
    return 0;
  }
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
  input.captureOffset = runState.startOffset;
  input.state = Capture::Running;
  PlayPrefill();
  waveIn().Start();
  PlayQueue();
  return 1;
}

void RecordData(WaveHeader& header) {
  const int i = HeaderIndex(header);
  if (input.state != Capture::Running || i < 0 || !Unhold(i)) return;
  if (Store(header)) {
    Queue(i);
    return;
  }
  // The timeline is full: the device captures nothing more, and whatever the
  // other buffer caught before the reset is kept if it still fits.
  input.state = Capture::Ended;
  waveIn().Reset();
  CollectReturned();
}

void RecordClosed() {
  // Our own close is stale by the time it arrives; a current one means the
  // device went away by itself: what was captured is still written at the stop.
  ReleaseBuffers();
  if (input.state == Capture::Running) input.state = Capture::Ended;
}

int RecordStop() {
  if (input.state == Capture::Idle) return 0;
  // The whole take is stored and the device closed before this returns, so a
  // command that follows the stop finds the take on disk and no later notice
  // can touch this recording.
  if (input.state == Capture::Running) {
    waveIn().Reset();
    CollectReturned();
  }
  const int32_t b = std::max(runState.startOffset, MsToByteOffset(song.markerInMs));
  const int32_t c =
      std::min({runState.stopOffset, MsToByteOffset(song.markerOutMs), TrackRegionBytes});
  int result = 0;
  if (c > b) {
    result = 1;
    if (song.armedTrack != 0 && song.workBuffer) {
      Track& armed = tracks[song.armedTrack];
      KeepForUndo(UndoKind::Recording, armed, input.loopBefore, b, c - b);
      // The take lives only in memory until here: a write that falls short (a
      // full disk, no song file) must be said, or the user would believe it kept.
      if (FileWriteOrDropUndo(armed, song.workBuffer.get(), b, c - b) < c - b) {
        ShowError("Not enough disk space to save the recording");
      }
    }
  }
  waveIn().Close();
  ReleaseBuffers();
  input.state = Capture::Idle;
  return result;
}

void RecordRelease() {
  if (input.state != Capture::Idle) {
    waveIn().Reset();
    waveIn().Close();
  }
  ReleaseBuffers();
  input.state = Capture::Idle;
}
