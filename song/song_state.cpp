#include "song/song_state.h"

#include <algorithm>

#include "audio/stream.h"
#include "base/buffer.h"
#include "codecs/mp3.h"
#include "panel/panel.h"
#include "panel/strips.h"
#include "panel/text_fields.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/song_file.h"
#include "ui/control_manager.h"

SongState song;
Track tracks[TrackCount + 1];

int MixerInit() {
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

  AudioInit();
  BuildPanel();
  textFields.ShowAllFields();
  RegisterMp3Decoder();
  return 1;
}

int NewSong() {
  SongFileClose();
  SongFileInit();

  controlManager.DrawNormal(pauseButton);
  controlManager.value[pauseButton] = 0;

  song.positionMs = 0;
  song.positionSeconds = 0;
  ShowPosition();

  for (int t = 1; t <= TrackCount; ++t) {
    Track& track = tracks[t];
    track.loopOn = 0;
    track.playOn = 0;
    ShowSpeaker(t);
    track.effectOn = 0;
    ShowEffect(t);
    std::fill_n(track.name, NameLength, ' ');
    track.name[NameLength] = '\0';
    track.volume = 80;
    ShowVolume(t);
  }
  textFields.ShowAllFields();

  if (song.armedTrack != 0) {
    controlManager.DrawNormal(armButton[song.armedTrack]);
    controlManager.value[armButton[song.armedTrack]] = 0;
    song.armedTrack = 0;
  }

  song.markerInPx = 0;
  song.markerOutPx = 280;
  song.markerInMs = 0;
  song.markerOutMs = SongSeconds * 1000;
  controlManager.x[inMarkerHandle] = 155;
  controlManager.x[outMarkerHandle] = 435;
  ShowMarkers();
  return 0;
}

void MixerRelease() {
  song.workBuffer.reset();
}
