// One second of the song at a time: tracks scaled and summed, the send through
// the effect, the armed track punched out between the markers.
#pragma once

#include <cstdint>
#include <span>

#include "audio/run_state.h"
#include "song/song_state.h"

// Allocates the run's mix and send blocks for the program's life; 0 on failure.
int MixerBlocksInit();
void MixerBlocksRelease();

int MixBlock();
// The next second of a run that goes round between the markers: from
// runState.loopNext on, back at loopIn whenever loopOut is reached, with every
// heard track (a run that loops has no armed track).
int MixLoopBlock();
// Adds length bytes of source into dest at volume percent, saturating each add.
int MixAdd(uint8_t* dest, int32_t destLength, const uint8_t* source, int32_t length, int volume);
void PunchMute(uint8_t* slot);
void LoopsSeek(int second);
