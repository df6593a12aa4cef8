// The state of the transport's current (or last) run, from its start to its
// stop, and the mixer's blocks it streams from.
#pragma once

#include <cstdint>

// A run with an in marker starts this long before it, on a whole second, so the
// performer hears a lead-in before the punch.
constexpr int kPreRollMs = 3000;

struct RunState {
  int32_t startOffset = 0;     // timeline byte where the run started
  int32_t stopOffset = 0;      // timeline byte where it stopped
  int32_t queueOffset = 0;     // timeline byte after the last second queued
  int32_t audibleSecond = 0;   // the second being heard now
  int32_t roundTripBytes = 0;  // how much earlier a take is stored than captured
  uint32_t clockTick = 0;      // clock reading at the last position update
  int meterPhase = 0;          // the input meter is drawn on every other tick
  int32_t firstBlockMs = 0;    // clock position at which the first mixed second starts
  // A run that goes round between the markers, as they stood at its start: the
  // timeline bytes of the in and out markers, and where the next second mixed
  // begins.
  int looping = 0;
  int32_t loopIn = 0;
  int32_t loopOut = 0;
  int32_t loopNext = 0;
  uint8_t* mixBlock = nullptr;   // the last mixed second, 176,400 bytes
  uint8_t* sendBlock = nullptr;  // the effect send of that second
};

extern RunState runState;
