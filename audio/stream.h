// The playback stream and the transport's start and stop sequences.
#pragma once

#include <cstdint>

#include "platform/wave.h"

extern int32_t startOffset;
extern int32_t stopOffset;
extern int32_t queueOffset;
extern int32_t audibleSecond;
extern uint32_t clockTick;

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
