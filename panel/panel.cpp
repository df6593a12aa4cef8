#include "panel/panel.h"

#include "audio/playback.h"
#include "codecs/mp3.h"
#include "panel/commands.h"
#include "panel/strips.h"
#include "panel/text_fields.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_state.h"
#include "ui/geometry.h"

namespace {

using geometry::Rect;

// The markers' pixels are the song's and the bar's at once.
static_assert(geometry::kMarkerMaxPx == MarkerLastPx);

Sprite Cut(Rect r) {
  Sprite s;
  s.SetCorners(r.left, r.top, r.right, r.bottom);
  return s;
}

// A control showing `from` with its top-left corner at `at`'s.
int AddCopy(Rect from, Rect at) {
  return controlManager.AddControl(Cut(from), at.left, at.top);
}

// Most controls sit where their artwork sits in the skin.
int AddInPlace(Rect r) {
  return AddCopy(r, r);
}

int AddButton(Rect r, Handler press) {
  const int c = AddInPlace(r);
  controlManager.SetPressHandler(c, press);
  return c;
}

// An invisible grab area over the triangle of a marker at pixel px, taller than
// the pen it is cut from.
int AddMarkerHandle(int px, Handler drag) {
  const Rect r = geometry::MarkerHandle(px);
  const int c = AddCopy(geometry::kMarkerPen, r);
  controlManager.width[c] = r.Width();
  controlManager.height[c] = r.Height();
  controlManager.SetDragHandler(c, drag);
  return c;
}

void AddMarkers() {
  markerBar = AddInPlace(geometry::kMarkerBar);
  markerPen = AddInPlace(geometry::kMarkerPen);
  inMarkerHandle = AddMarkerHandle(0, OnInMarkerDrag);
  outMarkerHandle = AddMarkerHandle(geometry::kMarkerMaxPx, OnOutMarkerDrag);

  song.markerInPx = 0;
  song.markerOutPx = geometry::kMarkerMaxPx;
  song.markerInMs = 0;
  song.markerOutMs = SongMs;
  DrawMarkerTriangle(song.markerInPx);
  DrawMarkerTriangle(song.markerOutPx);
}

void AddCommandButtons() {
  newButton = AddButton(geometry::kNew, OnNew);
  openButton = AddButton(geometry::kOpen, OnOpen);
  saveButton = AddButton(geometry::kSave, OnSave);
  helpButton = AddButton(geometry::kHelp, OnHelp);
  // The banner belongs to the background picture, so it is never drawn on its own.
  bannerArea = AddButton(geometry::kBanner, OnBanner);
  importButton = AddButton(geometry::kImport, OnImport);
  exportButton = AddButton(geometry::kExport, OnExport);
  for (const int c : {newButton, openButton, saveButton, helpButton, importButton, exportButton}) {
    controlManager.DrawNormal(c);
  }

  playButton = AddButton(geometry::kPlay, OnPlay);
  stopButton = AddButton(geometry::kStop, OnStop);
  pauseButton = AddButton(geometry::kPause, OnPause);
  for (const int c : {playButton, stopButton, pauseButton}) controlManager.DrawNormal(c);
}

void AddStrips() {
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].loopOn = 0;
    tracks[t].playOn = 0;
    speakerButton[t] = AddButton(geometry::Speaker(t), OnSpeaker);
    controlManager.SetTag(speakerButton[t], t);
    controlManager.DrawNormal(speakerButton[t]);
  }
  for (int t = 1; t <= TrackCount; ++t) {
    armButton[t] = AddButton(geometry::Arm(t), OnArm);
    controlManager.SetTag(armButton[t], t);
    controlManager.DrawNormal(armButton[t]);
  }

  effectImage[0] = AddInPlace(geometry::kEffectOff);
  effectImage[1] = AddInPlace(geometry::kEffectOn);
  // Rows 2 to 8 reuse track 1's artwork for the effect button, slider and meter.
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].effectOn = 0;
    effectButton[t] = AddCopy(geometry::kEffectOff, geometry::Effect(t));
    controlManager.SetPressHandler(effectButton[t], OnEffect);
    controlManager.SetTag(effectButton[t], t);
    controlManager.DrawNormal(effectButton[t]);
  }

  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].volume = 80;
    volumeLit[t] = AddCopy(geometry::Volume(1), geometry::Volume(t));
    volumeUnlit[t] = AddCopy(geometry::Volume(1), geometry::Volume(t));
    volumeCatcher[t] = AddCopy(geometry::Volume(1), geometry::Volume(t));
    controlManager.SetTag(volumeCatcher[t], t);
    controlManager.SetDragHandler(volumeCatcher[t], OnVolumeDrag);
    ShowVolume(t);
  }
}

void AddPositionBar() {
  song.positionSeconds = 0;
  positionBar = AddInPlace(geometry::kPositionBar);
  positionLit = AddInPlace(geometry::kPositionBar);
  positionCatcher = AddInPlace(geometry::kPositionBar);
  controlManager.SetDragHandler(positionCatcher, OnPositionDrag);
  ShowPosition();
}

void AddMeters() {
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].meterLevel = 0;
    meterLit[t] = AddCopy(geometry::Meter(1), geometry::Meter(t));
    meterUnlit[t] = AddCopy(geometry::Meter(1), geometry::Meter(t));
    ShowMeter(t);
  }
}

void AddProgressBar() {
  progressBlank = AddInPlace(geometry::kProgressWell);
  progressEmpty = AddCopy(geometry::kProgressEmpty, geometry::kProgressWell);
  progressFull = AddCopy(geometry::kProgressFull, geometry::kProgressWell);
}

}  // namespace

int MixerInit() {
  if (!SongStateInit()) return 0;
  AudioInit();
  BuildPanel();
  textFields.ShowAllFields();
  RegisterMp3Decoder();
  return 1;
}

void BuildPanel() {
  for (int c = geometry::kFirstGlyph; c <= geometry::kLastGlyph; ++c) {
    fontSprites[c] = Cut(geometry::Glyph(c));
  }

  backgroundControl = AddInPlace(geometry::kPanel);
  controlManager.DrawNormal(backgroundControl);

  for (int& cell : glyphCells) cell = controlManager.AddControl(Cut(geometry::Glyph('A')), 0, 0);

  AddMarkers();
  AddCommandButtons();
  AddStrips();
  AddPositionBar();
  AddMeters();
  AddProgressBar();

  textFields.ShowAllFields();
  InstallSongNotices({.songLoaded = ShowSong,
                      .songLeft = ForgetSolo,
                      .meterChanged = ShowMeter,
                      .progress = [](int v) { ShowProgress(v); }});
}

void ShowSong() {
  for (int t = 1; t <= TrackCount; ++t) {
    ShowSpeaker(t);
    ShowEffect(t);
    ShowVolume(t);
    SetButton(armButton[t], t == song.armedTrack ? 1 : 0);
  }
  textFields.ShowAllFields();
  ShowPosition();
  ShowMarkers();
}
