#include "song/song_state.h"

#include <algorithm>

#include "base/buffer.h"
#include "platform/platform.h"

SongState song;
Track tracks[TrackCount + 1];

int SongStateInit() {
  song.armedTrack = 0;
  song.running = 0;
  song.positionMs = 0;
  song.mixSecond = 0;

  song.workBuffer = TryAllocate(WorkBufferBytes);
  if (!song.workBuffer) {
    platform().ShowMessage("MixerInit - memory allocation failed", "Error");
    return 0;
  }
  for (int t = 0; t <= TrackCount; ++t) tracks[t].index = t;
  return 1;
}

void ResetSongSettings() {
  song.positionMs = 0;
  song.positionSeconds = 0;
  for (int t = 1; t <= TrackCount; ++t) {
    Track& track = tracks[t];
    track.loopOn = 0;
    track.playOn = 0;
    track.effectOn = 0;
    std::fill_n(track.name, NameLength, ' ');
    track.name[NameLength] = '\0';
    track.volume = 80;
  }
  song.armedTrack = 0;
  song.markerInPx = 0;
  song.markerOutPx = MarkerLastPx;
  song.markerInMs = 0;
  song.markerOutMs = SongMs;
}

std::string ShownName(const Track& track) {
  std::string name(track.name, NameLength);
  for (char& c : name) {
    if (c < ' ' || c > '~') c = ' ';
  }
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

bool TrackUnnamed(const Track& track) {
  return ShownName(track).empty();
}

void SetTrackName(Track& track, std::string_view text) {
  std::fill_n(track.name, NameLength, ' ');
  std::copy_n(text.begin(), std::min<size_t>(text.size(), NameLength), track.name);
}

void SongStateRelease() {
  song.workBuffer.reset();
}
