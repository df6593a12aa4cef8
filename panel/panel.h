// The panel: every control of the window, added once in a fixed order.
#pragma once

#include "panel/controls.h"

// Once, at window creation: the song state, the audio engine and the panel.
// Returns 0 when the work buffer cannot be allocated (no panel is built then).
int MixerInit();
void BuildPanel();
// Draws every control that shows the song: the tracks' settings and names, the
// armed track, the position and the markers.
void ShowSong();
