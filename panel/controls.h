// The panel's controls by name, and the drawing that several parts of the panel
// share. Building the panel fills these in; the strips, the transport, the
// commands and the text fields only use them.
#pragma once

#include "ui/control_manager.h"

extern Sprite fontSprites[128];

extern int backgroundControl;
extern int glyphCells[80];
extern int markerBar, markerPen, inMarkerHandle, outMarkerHandle;
extern int newButton, openButton, saveButton, helpButton, bannerArea, importButton, exportButton;
extern int playButton, stopButton, pauseButton;
extern int speakerButton[9], armButton[9], effectImage[2], effectButton[9];
extern int volumeLit[9], volumeUnlit[9], volumeCatcher[9];
extern int positionBar, positionLit, positionCatcher;
extern int meterLit[9], meterUnlit[9];
extern int progressBlank, progressEmpty, progressFull;

// Draws a two-state button lit (on) or normal and keeps its state in its value.
void SetButton(int c, int on);
// v from 0 (hidden) to 280 (full); returns 0 when hidden, else 1.
int ShowProgress(int v);
