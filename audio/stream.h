// The transport's start and stop sequences, and the device notices that keep
// a run going.
#pragma once

#include <cstdint>

#include "audio/run_state.h"

int TransportStart();
int TransportStop();
uint32_t ClockUpdate();
// Whether Play with no track armed goes round between the markers, from the in
// marker to the out marker and back, until stopped: the user's choice.
void SetLoopBetweenMarkers(bool on);
bool LoopBetweenMarkers();
// The place on the timeline heard at a clock position of the current run: the
// clock itself, or in a run that loops, folded back between the markers.
int64_t HeardMs(int64_t clockMs);
int WaveMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
// A WM_WAVE_LOST notice: 1 when it belongs to a device's current run (the
// transport or measurement using it must stop), 0 when stale.
int SoundDeviceLost(uintptr_t generation, intptr_t which);
void MetersReset();
