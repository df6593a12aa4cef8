// The transport's start and stop sequences, and the device notices that keep
// a run going.
#pragma once

#include <cstdint>

#include "audio/run_state.h"

int TransportStart();
int TransportStop();
uint32_t ClockUpdate();
int WaveMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
void MetersReset();
