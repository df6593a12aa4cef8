#include "panel/controls.h"

#include <cstdint>

#include "platform/platform.h"

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

}  // namespace

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
