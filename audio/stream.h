// The playback stream and the transport's start and stop sequences.
#pragma once

#include <cstdint>

#include "audio/run_state.h"
#include "platform/wave.h"

int AudioInit();
int PlayStart();
int TransportStart();
int TransportStop();
uint32_t ClockUpdate();
int PlayPrefill();
int PlayQueue();
void PlayRefill(WaveHeader& header);
int WavePortOut(WaveHeader& header);
int WaveMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
void MetersReset();
// Closes the output device and frees its buffers at shut-down.
void AudioRelease();
