// The playback stream and the transport's start and stop sequences.
#pragma once

#include <cstdint>
#include <span>

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
// Plays up to two seconds of given audio on the playback buffers instead of the
// song's mix, while the transport is idle; returns how many the device took.
int PlaySeconds(std::span<const uint8_t> audio);
// Stops the output at once; what it held comes back as stale notices.
void PlayReset();
int WaveMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
void MetersReset();
// Closes the output device and frees its buffers at shut-down.
void AudioRelease();
