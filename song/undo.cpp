#include "song/undo.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "base/failure_text.h"
#include "base/file_handle.h"
#include "base/paths.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"

int64_t undoByteLimit = int64_t{2} << 30;

namespace {

// What a step may change of a track besides its audio.
struct Settings {
  uint8_t playOn = 0;
  uint8_t effectOn = 0;
  int8_t volume = 0;
  LoopSettings loop;
  char name[NameLength] = {};
};

enum Field : uint8_t {
  kSpeaker = 1 << 0,
  kVolume = 1 << 1,
  kEffect = 1 << 2,
  kName = 1 << 3,
  kLoop = 1 << 4,
};

struct SettingsChange {
  uint8_t fields = 0;  // those the change set to something else
  Settings before;
  Settings after;
};

struct Step {
  UndoKind kind = UndoKind::Recording;
  int track = 0;
  int32_t offset = 0;
  int32_t length = 0;
  // Bytes of the range the song file held; past them it ended, and the range
  // read as silence.
  int64_t held = 0;
  // The bytes, at the song file's own offsets (the rest of it is a hole). Before
  // the change while the step waits to be undone, after it while it waits to be
  // redone.
  FileHandle data;
  std::array<SettingsChange, TrackCount + 1> settings;
};

// Steps in a fixed array, oldest first: keeping a take at the stop allocates
// nothing.
struct Stack {
  std::array<Step, kUndoSteps> steps;
  int count = 0;

  Step& Newest() { return steps[count - 1]; }
  void DropOldest() {
    std::move(steps.begin() + 1, steps.begin() + count, steps.begin());
    steps[--count] = Step{};
  }
  void DropNewest() { steps[--count] = Step{}; }
  void Clear() {
    while (count > 0) DropNewest();
  }
  int64_t Bytes() const {
    int64_t bytes = 0;
    for (int i = 0; i < count; ++i) bytes += steps[i].held;
    return bytes;
  }
};

Stack undoStack;
Stack redoStack;
// The newest undo step still waits for the settings its change leaves.
bool stepOpen = false;

// For copies the kernel cannot make itself, and for silence.
std::array<uint8_t, 1 << 20> scratch;

std::string& CacheFolder() {
  static std::string folder;
  return folder;
}

Settings SettingsOf(const Track& track) {
  Settings s;
  s.playOn = track.playOn;
  s.effectOn = track.effectOn;
  s.volume = track.volume;
  s.loop = LoopOf(track);
  std::memcpy(s.name, track.name, NameLength);
  return s;
}

uint8_t Differing(const Settings& a, const Settings& b) {
  uint8_t fields = 0;
  if (a.playOn != b.playOn) fields |= kSpeaker;
  if (a.volume != b.volume) fields |= kVolume;
  if (a.effectOn != b.effectOn) fields |= kEffect;
  if (std::memcmp(a.name, b.name, NameLength) != 0) fields |= kName;
  if (a.loop.loopOn != b.loop.loopOn || a.loop.loopStart != b.loop.loopStart ||
      a.loop.loopEnd != b.loop.loopEnd) {
    fields |= kLoop;
  }
  return fields;
}

void Apply(Track& track, const Settings& s, uint8_t fields) {
  if (fields & kSpeaker) {
    track.playOn = s.playOn;
    // As the speaker button does: a track that is heard is not armed.
    if (track.playOn != 0 && song.armedTrack == track.index) song.armedTrack = 0;
  }
  if (fields & kVolume) track.volume = s.volume;
  if (fields & kEffect) track.effectOn = s.effectOn;
  if (fields & kName) std::memcpy(track.name, s.name, NameLength);
  if (fields & kLoop) {
    track.loopOn = s.loop.loopOn;
    track.loopStart = s.loop.loopStart;
    track.loopEnd = s.loop.loopEnd;
  }
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

// Keeps [offset, offset + length) of the track's region as the song file holds
// it in step's data.
bool CaptureBytes(Step& step, const Track& track, int32_t offset, int32_t length) {
  const FileHandle& song = SongFileHandle();
  const int64_t start = TrackRegionStart(track) + offset;
  const int64_t size = song.Size();
  if (!song.IsOpen() || size < 0 || offset < 0 || length <= 0) return false;
  FileHandle data = NewStepFile();
  if (!data.IsOpen()) return false;
  const int64_t held = std::clamp<int64_t>(size - start, 0, length);
  if (song.CopyTo(data, start, held, scratch) != held) return false;
  step.data = std::move(data);
  step.held = held;
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

// Writes the kept bytes back where they came from.
bool RestoreBytes(const Step& step) {
  const FileHandle& song = SongFileHandle();
  const int64_t from = TrackRegionStart(tracks[step.track]) + step.offset;
  if (step.data.CopyTo(song, from, step.held, scratch) != step.held) return false;
  return step.held >= step.length || Silence(song, from + step.held, from + step.length);
}

// Drops the oldest steps until what is kept fits the byte limit: the first
// changes, then, of those undone, the furthest from now. The newest stays
// whatever its size.
void KeepWithinByteLimit() {
  const auto bytes = [] { return undoStack.Bytes() + redoStack.Bytes(); };
  while (bytes() > undoByteLimit && undoStack.count + redoStack.count > 1) {
    if (undoStack.count > 0) {
      undoStack.DropOldest();
    } else {
      redoStack.DropOldest();
    }
  }
}

std::string StepText(const char* verb, const Stack& stack) {
  if (stack.count == 0) return verb;
  const Step& step = stack.steps[stack.count - 1];
  const char* what = " Recording on Track ";
  switch (step.kind) {
    case UndoKind::Recording:
      break;
    case UndoKind::Import:
      what = " Import on Track ";
      break;
    case UndoKind::ClickTrack:
      what = " Click Track on Track ";
      break;
    case UndoKind::Bounce:
      what = " Bounce to Track ";
      break;
  }
  return std::string(verb) + what + std::to_string(step.track);
}

// Takes the newest step of `from` back (Undo) or forth (Redo), keeping what it
// replaces as the newest step of `to`.
int TakeStep(Stack& from, Stack& to, bool back) {
  FinishUndoStep();
  if (from.count == 0) return 0;
  Step& step = from.Newest();
  Step replaced;
  const bool kept = CaptureBytes(replaced, tracks[step.track], step.offset, step.length);
  errno = 0;
  if (!RestoreBytes(step)) {
    platform().ShowMessage(FailureText("Not enough disk space to change the track back", songPath,
                                       errno != 0 ? errno : ENOSPC),
                           "Error");
    return 0;
  }
  for (int t = 1; t <= TrackCount; ++t) {
    const SettingsChange& change = step.settings[t];
    Apply(tracks[t], back ? change.before : change.after, change.fields);
  }
  if (kept) {
    step.data = std::move(replaced.data);
    step.held = replaced.held;
    to.steps[to.count++] = std::move(step);
  } else {
    // What lies beyond this step the other way can no longer be reached honestly.
    to.Clear();
  }
  from.DropNewest();
  KeepWithinByteLimit();
  NoticeSongLoaded();
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
  FinishUndoStep();
  if (undoByteLimit == 0) {
    DropUndo();
    return 0;
  }
  redoStack.Clear();
  if (undoStack.count == kUndoSteps) undoStack.DropOldest();
  Step& step = undoStack.steps[undoStack.count];
  if (!CaptureBytes(step, track, offset, length)) {
    // A change that cannot be undone leaves nothing before it to undo.
    step = Step{};
    DropUndo();
    return 0;
  }
  step.kind = kind;
  step.track = track.index;
  step.offset = offset;
  step.length = length;
  for (int t = 1; t <= TrackCount; ++t) step.settings[t].before = SettingsOf(tracks[t]);
  step.settings[track.index].before.loop = loop;
  ++undoStack.count;
  stepOpen = true;
  KeepWithinByteLimit();
  return 1;
}

int64_t FileWriteOrDropUndo(const Track& track, const uint8_t* source, int32_t offset,
                            int32_t count) {
  const int64_t written = FileWrite(track, source, offset, count);
  if (written >= count || undoStack.count + redoStack.count == 0) return written;
  DropUndo();
  return FileWrite(track, source, offset, count);
}

void FinishUndoStep() {
  if (!stepOpen) return;
  stepOpen = false;
  Step& step = undoStack.Newest();
  for (int t = 1; t <= TrackCount; ++t) {
    SettingsChange& change = step.settings[t];
    change.after = SettingsOf(tracks[t]);
    change.fields = Differing(change.before, change.after);
  }
}

int ReplaceTrackAudio(UndoKind kind, Track& track, const uint8_t* audio, int32_t length) {
  KeepForUndo(kind, track, LoopOf(track), 0, TrackRegionBytes);
  if (FileWriteOrDropUndo(track, audio, 0, length) < length) return 0;
  if (length < TrackRegionBytes) ClearTrackTail(track, length);
  return 1;
}

int CanUndo() {
  return undoStack.count > 0 ? 1 : 0;
}

int CanRedo() {
  return redoStack.count > 0 ? 1 : 0;
}

std::string UndoText() {
  return StepText("Undo", undoStack);
}

std::string RedoText() {
  return StepText("Redo", redoStack);
}

int Undo() {
  return TakeStep(undoStack, redoStack, true);
}

int Redo() {
  return TakeStep(redoStack, undoStack, false);
}

void DropUndo() {
  stepOpen = false;
  undoStack.Clear();
  redoStack.Clear();
}
