#include "codecs/bounce.h"

#include <utility>

#include "audio/mixer.h"
#include "codecs/export.h"
#include "codecs/wav.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/undo.h"

namespace {

// The loudest volume the slider gives: the bounce plays back as close to the
// sources' mix as the track allows.
constexpr int8_t kLoudest = 90;

bool IsSource(const Track& track, const Track& dest) {
  return track.index != dest.index && track.playOn != 0;
}

}  // namespace

std::string BounceName(const Track& dest) {
  std::string name = "Bounce ";
  const size_t bare = name.size();
  for (int t = 1; t <= TrackCount; ++t) {
    if (!IsSource(tracks[t], dest)) continue;
    if (name.size() > bare) name += '+';
    name += std::to_string(t);
  }
  return name;
}

int RequireBounceSources(const Track& dest) {
  for (int t = 1; t <= TrackCount; ++t) {
    if (IsSource(tracks[t], dest)) return 1;
  }
  platform().ShowMessage("There is nothing to bounce: no other track is heard.", "Bounce to Track");
  return 0;
}

int BounceTo(Track& dest) {
  if (!RequireOpenSong()) return 0;
  // Without the blocks allocated at start-up there is nothing to render into,
  // as for the export.
  if (runState.mixBlock == nullptr || !song.workBuffer) {
    platform().Beep();
    platform().ShowMessage("Error: PlayStart", "Error");
    return 0;
  }
  if (!RequireBounceSources(dest)) return 0;
  const std::string name = BounceName(dest);
  // The mix of the sources alone: the armed track is heard during a take, not
  // in what it records over.
  const int armed = std::exchange(song.armedTrack, 0);
  const uint8_t destOn = std::exchange(dest.playOn, 0);
  RenderMix();
  song.armedTrack = armed;
  dest.playOn = destOn;

  const uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
  if (!ReplaceTrackAudio(UndoKind::Bounce, dest, mix, TrackRegionBytes)) {
    ReportSongWriteFailure("Not enough disk space to bounce the tracks");
    return 0;
  }
  for (int t = 1; t <= TrackCount; ++t) {
    if (IsSource(tracks[t], dest)) tracks[t].playOn = 0;
  }
  dest.playOn = 1;
  if (song.armedTrack == dest.index) song.armedTrack = 0;
  dest.effectOn = 0;
  dest.volume = kLoudest;
  dest.loopOn = 0;
  if (TrackUnnamed(dest)) SetTrackName(dest, name);
  FinishUndoStep();
  NoticeSongLoaded();
  return 1;
}
