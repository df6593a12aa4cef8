#include "song/undo.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <utility>

#include "base/file_handle.h"
#include "base/paths.h"
#include "platform/platform.h"
#include "song/song_file.h"

namespace {

struct Step {
  UndoKind kind = UndoKind::Recording;
  int track = 0;  // 0: no step
  int32_t offset = 0;
  int32_t length = 0;
  // Bytes of the range the song file held; past them it ended, and the range
  // read as silence.
  int64_t held = 0;
  LoopSettings loop;
  // The bytes, at the song file's own offsets (the rest of it is a hole).
  FileHandle data;
};

Step undoStep;
Step redoStep;

// For copies the kernel cannot make itself, and for silence.
std::array<uint8_t, 1 << 20> scratch;

std::string& CacheFolder() {
  static std::string folder;
  return folder;
}

// A file nobody else can see, gone when it is closed, even after a crash.
FileHandle NewStepFile() {
  PrepareUndo();
  const std::string& folder = CacheFolder();
  FileHandle file = FileHandle::Open(folder, O_TMPFILE | O_RDWR, 0600);
  if (file.IsOpen()) return file;
  // Filesystems without unnamed files: a name, removed at once.
  std::string pattern = folder + "undo-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return file;
  ::close(fd);
  file = FileHandle::Open(pattern, O_RDWR);
  ::unlink(pattern.c_str());
  return file;
}

// Keeps [offset, offset + length) of the track's region as the song file holds it.
bool Capture(Step& step, UndoKind kind, const Track& track, const LoopSettings& loop,
             int32_t offset, int32_t length) {
  step = Step{};
  const FileHandle& song = SongFileHandle();
  const int64_t start = TrackRegionStart(track) + offset;
  const int64_t size = song.Size();
  if (!song.IsOpen() || size < 0 || offset < 0 || length <= 0) return false;
  FileHandle data = NewStepFile();
  if (!data.IsOpen()) return false;
  const int64_t held = std::clamp<int64_t>(size - start, 0, length);
  if (song.CopyTo(data, start, held, scratch) != held) return false;
  step = Step{kind, track.index, offset, length, held, loop, std::move(data)};
  return true;
}

// The silence of [at, end) in the song file, where it ended inside a kept range:
// it ends there again when nothing lies beyond the range, else the range is
// written with zeros.
bool Silence(const FileHandle& song, int64_t at, int64_t end) {
  const int64_t size = song.Size();
  if (size >= 0 && size <= end) return size <= at || song.Resize(at);
  std::fill(scratch.begin(), scratch.end(), 0);
  while (at < end) {
    const auto n = static_cast<size_t>(std::min<int64_t>(end - at, scratch.size()));
    if (song.WriteAt(at, std::span(scratch).first(n)) != n) return false;
    at += static_cast<int64_t>(n);
  }
  return true;
}

// Writes the kept bytes and loop settings back where they came from.
bool Restore(const Step& step) {
  const FileHandle& song = SongFileHandle();
  const int64_t from = TrackRegionStart(tracks[step.track]) + step.offset;
  if (step.data.CopyTo(song, from, step.held, scratch) != step.held) return false;
  if (step.held < step.length && !Silence(song, from + step.held, from + step.length)) {
    return false;
  }
  Track& track = tracks[step.track];
  track.loopOn = step.loop.loopOn;
  track.loopStart = step.loop.loopStart;
  track.loopEnd = step.loop.loopEnd;
  return true;
}

std::string StepText(const char* verb, const Step& step) {
  if (step.track == 0) return verb;
  const char* what = step.kind == UndoKind::Recording ? " Recording" : " Import";
  return std::string(verb) + what + " on Track " + std::to_string(step.track);
}

// Takes `from` back, keeping what it replaces as `to`.
int TakeStep(Step& from, Step& to) {
  if (from.track == 0) return 0;
  Step replaced;
  const bool kept = Capture(replaced, from.kind, tracks[from.track], LoopOf(tracks[from.track]),
                            from.offset, from.length);
  if (!Restore(from)) {
    platform().ShowMessage("Not enough disk space to change the track back", "Error");
    return 0;
  }
  from = {};
  to = kept ? std::move(replaced) : Step{};
  return 1;
}

}  // namespace

void PrepareUndo() {
  if (CacheFolder().empty()) CacheFolder() = UserFolder("XDG_CACHE_HOME", ".cache");
}

LoopSettings LoopOf(const Track& track) {
  return {track.loopOn, track.loopStart, track.loopEnd};
}

int KeepForUndo(UndoKind kind, const Track& track, const LoopSettings& loop, int32_t offset,
                int32_t length) {
  redoStep = {};
  return Capture(undoStep, kind, track, loop, offset, length) ? 1 : 0;
}

int64_t FileWriteOrDropUndo(const Track& track, const uint8_t* source, int32_t offset,
                            int32_t count) {
  const int64_t written = FileWrite(track, source, offset, count);
  if (written >= count || undoStep.track == 0) return written;
  undoStep = {};
  return FileWrite(track, source, offset, count);
}

int CanUndo() {
  return undoStep.track != 0 ? 1 : 0;
}

int CanRedo() {
  return redoStep.track != 0 ? 1 : 0;
}

std::string UndoText() {
  return StepText("Undo", undoStep);
}

std::string RedoText() {
  return StepText("Redo", redoStep);
}

int Undo() {
  return TakeStep(undoStep, redoStep);
}

int Redo() {
  return TakeStep(redoStep, undoStep);
}

void DropUndo() {
  undoStep = {};
  redoStep = {};
}
