#include "panel/panel.h"

#include "audio/stream.h"
#include "codecs/mp3.h"
#include "panel/commands.h"
#include "panel/strips.h"
#include "panel/text_fields.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_state.h"

Sprite fontSprites[128];

int backgroundControl;
int glyphCells[80];
int markerBar, markerPen, inMarkerHandle, outMarkerHandle;
int newButton, openButton, saveButton, helpButton, bannerArea, importButton, exportButton;
int playButton, stopButton, pauseButton;
int speakerButton[9], armButton[9], effectImage[2], effectButton[9];
int volumeLit[9], volumeUnlit[9], volumeCatcher[9];
int positionBar, positionLit, positionCatcher;
int meterLit[9], meterUnlit[9];
int progressBlank, progressEmpty, progressFull;

namespace {

// The progress bar's full width for 280 steps: 152 pixels.
constexpr int64_t kProgressPixelsPerMillionSteps = 542858;

Sprite Corners(int left, int top, int right, int bottom) {
  Sprite s;
  s.SetCorners(left, top, right, bottom);
  return s;
}

// Most controls sit where their artwork sits in the skin.
int AddInPlace(int left, int top, int right, int bottom) {
  return controlManager.AddControl(Corners(left, top, right, bottom), left, top);
}

int AddButton(int left, int top, int right, int bottom, Handler press) {
  const int c = AddInPlace(left, top, right, bottom);
  controlManager.SetPressHandler(c, press);
  return c;
}

int StripY(int t) {
  return 149 + 18 * (t - 1);
}

void AddMarkers() {
  markerBar = AddInPlace(155, 304, 445, 309);
  const Sprite pen = Corners(155, 304, 164, 305);
  markerPen = controlManager.AddControl(pen, 155, 304);
  // The handles are invisible grab areas over the triangles, taller than the pen.
  inMarkerHandle = controlManager.AddControl(pen, 155, 304);
  outMarkerHandle = controlManager.AddControl(pen, 155, 304);
  for (const int handle : {inMarkerHandle, outMarkerHandle}) {
    controlManager.y[handle] = 299;
    controlManager.width[handle] = 9;
    controlManager.height[handle] = 10;
  }
  controlManager.x[inMarkerHandle] = 155;
  controlManager.x[outMarkerHandle] = 435;
  controlManager.SetDragHandler(inMarkerHandle, OnInMarkerDrag);
  controlManager.SetDragHandler(outMarkerHandle, OnOutMarkerDrag);

  song.markerInPx = 0;
  song.markerOutPx = 280;
  song.markerInMs = 0;
  song.markerOutMs = SongSeconds * 1000;
  DrawMarkerTriangle(song.markerInPx);
  DrawMarkerTriangle(song.markerOutPx);
}

void AddCommandButtons() {
  newButton = AddButton(50, 50, 92, 96, OnNew);
  openButton = AddButton(95, 50, 137, 96, OnOpen);
  saveButton = AddButton(140, 50, 182, 96, OnSave);
  helpButton = AddButton(185, 50, 227, 96, OnHelp);
  // The banner belongs to the background picture, so it is never drawn on its own.
  bannerArea = AddButton(0, 344, 517, 374, OnBanner);
  importButton = AddButton(285, 57, 357, 80, OnImport);
  exportButton = AddButton(367, 57, 439, 80, OnExport);
  for (const int c : {newButton, openButton, saveButton, helpButton, importButton, exportButton}) {
    controlManager.DrawNormal(c);
  }

  playButton = AddButton(251, 105, 290, 146, OnPlay);
  stopButton = AddButton(230, 116, 250, 134, OnStop);
  pauseButton = AddButton(290, 115, 310, 135, OnPause);
  for (const int c : {playButton, stopButton, pauseButton}) controlManager.DrawNormal(c);
}

void AddStrips() {
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].loopOn = 0;
    tracks[t].playOn = 0;
    speakerButton[t] = AddButton(134, StripY(t), 155, StripY(t) + 18, OnSpeaker);
    controlManager.SetTag(speakerButton[t], t);
    controlManager.DrawNormal(speakerButton[t]);
  }
  for (int t = 1; t <= TrackCount; ++t) {
    armButton[t] = AddButton(155, StripY(t), 181, StripY(t) + 18, OnArm);
    controlManager.SetTag(armButton[t], t);
    controlManager.DrawNormal(armButton[t]);
  }

  for (int k = 0; k < 2; ++k) effectImage[k] = AddInPlace(326, 153 + 18 * k, 344, 165 + 18 * k);
  // Rows 2 to 8 reuse track 1's artwork for the effect button, slider and meter.
  const Sprite effectOff = Corners(326, 153, 344, 165);
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].effectOn = 0;
    effectButton[t] = controlManager.AddControl(effectOff, 326, StripY(t) + 4);
    controlManager.SetPressHandler(effectButton[t], OnEffect);
    controlManager.SetTag(effectButton[t], t);
    controlManager.DrawNormal(effectButton[t]);
  }

  const Sprite slider = Corners(350, 153, 440, 165);
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].volume = 80;
    volumeLit[t] = controlManager.AddControl(slider, 350, StripY(t) + 4);
    volumeUnlit[t] = controlManager.AddControl(slider, 350, StripY(t) + 4);
    volumeCatcher[t] = controlManager.AddControl(slider, 350, StripY(t) + 4);
    controlManager.SetTag(volumeCatcher[t], t);
    controlManager.SetDragHandler(volumeCatcher[t], OnVolumeDrag);
    ShowVolume(t);
  }
}

void AddPositionBar() {
  song.positionSeconds = 0;
  positionBar = AddInPlace(159, 309, 440, 321);
  positionLit = AddInPlace(159, 309, 440, 321);
  positionCatcher = AddInPlace(159, 309, 440, 321);
  controlManager.SetDragHandler(positionCatcher, OnPositionDrag);
  ShowPosition();
}

void AddMeters() {
  const Sprite meter = Corners(350, 150, 440, 153);
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].meterLevel = 0;
    meterLit[t] = controlManager.AddControl(meter, 350, StripY(t) + 1);
    meterUnlit[t] = controlManager.AddControl(meter, 350, StripY(t) + 1);
    ShowMeter(t);
  }
}

void AddProgressBar() {
  progressBlank = AddInPlace(286, 84, 438, 94);
  progressEmpty = controlManager.AddControl(Corners(515, 42, 667, 52), 286, 84);
  progressFull = controlManager.AddControl(Corners(515, 52, 667, 62), 286, 84);
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
  for (int c = 32; c <= 126; ++c) {
    fontSprites[c] = Corners(6 * (c - 32), 371, 6 * (c - 32) + 6, 379);
  }

  backgroundControl = AddInPlace(0, 0, 514, 371);
  controlManager.DrawNormal(backgroundControl);

  const Sprite letterA = Corners(198, 371, 204, 379);
  for (int& cell : glyphCells) cell = controlManager.AddControl(letterA, 0, 0);

  AddMarkers();
  AddCommandButtons();
  AddStrips();
  AddPositionBar();
  AddMeters();
  AddProgressBar();

  textFields.ShowAllFields();
  InstallSongNotices({.songLoaded = ShowSong, .meterChanged = ShowMeter, .progress = [](int v) {
                        ShowProgress(v);
                      }});
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

int ShowProgress(int v) {
  if (v <= 0) {
    controlManager.DrawNormal(progressBlank);
    platform().Flush();
    return 0;
  }
  // Beyond 280 the full image would be cut past its own artwork.
  if (v > 280) v = 280;
  controlManager.width[progressFull] =
      static_cast<int32_t>(int64_t{v} * kProgressPixelsPerMillionSteps / 1000000);
  controlManager.DrawNormal(progressEmpty);
  controlManager.DrawNormal(progressFull);
  platform().Flush();
  return 1;
}

void SetButton(int c, int on) {
  if (on != 0) {
    controlManager.DrawLit(c);
  } else {
    controlManager.DrawNormal(c);
  }
  controlManager.value[c] = on;
}
