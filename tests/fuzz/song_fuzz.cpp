// Any bytes as a song file: opened, its tracks read plainly and as loops from
// wherever the bytes place them, and its header written back and read again.
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "song/song_header.h"

namespace {

struct Settings {
  uint8_t playOn, effectOn, loopOn;
  int8_t volume;
  int32_t loopStart, loopEnd;
  char name[NameLength];
  bool operator==(const Settings&) const = default;
};

Settings Snapshot(const Track& t) {
  Settings s{t.playOn, t.effectOn, t.loopOn, t.volume, t.loopStart, t.loopEnd, {}};
  std::memcpy(s.name, t.name, NameLength);
  return s;
}

void CheckSafe(const Track& t) {
  if (t.playOn > 1 || t.effectOn > 1 || t.volume < 0 || t.volume > 90) std::abort();
  if (t.loopOn != 0 && !LoopFitsRegion(t)) std::abort();
}

// The bytes behind the header area pick the song position and the loop position,
// so reads start anywhere, inside the song or not.
int32_t Pick(const uint8_t* data, size_t size, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && at + i < size; ++i)
    v |= static_cast<uint32_t>(data[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakePlatform.Reset();
  const std::string path = fuzz::WriteInput("in.svl", data, size);
  if (SongFileOpen(path) != 1) std::abort();
  Settings loaded[TrackCount + 1];
  for (int n = 1; n <= TrackCount; ++n) {
    CheckSafe(tracks[n]);
    loaded[n] = Snapshot(tracks[n]);
  }

  const int32_t second = Pick(data, size, SongHeaderUsedBytes) % (SongSeconds + 8) - 4;
  for (int n = 1; n <= TrackCount; ++n) {
    Track& t = tracks[n];
    song.mixSecond = second;
    song.ringSecond = n;
    const uint8_t loopOn = t.loopOn;
    t.loopOn = 0;
    ReadTrackBlock(t);
    // Stored loop fields, however hostile, with the loop forced on.
    t.loopOn = 1;
    t.loopPos = Pick(data, size, SongHeaderUsedBytes + 4 * static_cast<size_t>(n));
    for (int block = 0; block < 3; ++block) {
      if (ReadTrackBlock(t) != BytesPerSecond) std::abort();
      if (LoopFitsRegion(t) && (t.loopPos < t.loopStart || t.loopPos > t.loopEnd)) std::abort();
    }
    t.loopOn = loopOn;
  }

  // What was loaded survives being written back and read again.
  SongFileWriteHeader();
  if (SongFileOpen(path) != 1) std::abort();
  for (int n = 1; n <= TrackCount; ++n) {
    if (!(Snapshot(tracks[n]) == loaded[n])) std::abort();
  }
  SongFileCloseOnly();
  return 0;
}
