// The output device and its two one-second buffers: the song's mix queued
// second by second while the transport runs, or given audio while it is idle.
#pragma once

#include <cstdint>
#include <span>

#include "audio/run_state.h"
#include "platform/wave.h"

int AudioInit();
int PlayStart();
int PlayPrefill();
int PlayQueue();
void PlayRefill(WaveHeader& header);
int WavePortOut(WaveHeader& header);
// Plays up to two seconds of given audio on the playback buffers instead of the
// song's mix, while the transport is idle; returns how many the device took.
int PlaySeconds(std::span<const uint8_t> audio);
// Stops the output at once; what it held comes back as stale notices.
void PlayReset();
// One of the two playback buffers (a returned header may be anyone's).
bool IsOutputHeader(const WaveHeader* header);
// Closes the output device and frees its buffers at shut-down.
void AudioRelease();
// A device-lost notice of the output's current run: 1 when it is (the output
// is then opened again before the next run), 0 when stale.
int PlayDeviceLost(uintptr_t generation);
// Before a run takes the devices: opens the output again when it went away
// (a sound server that stopped and has come back).
void PlayReconnect();
