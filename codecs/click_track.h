// A click to play in time with: a short tone on every beat of the whole song,
// the first beat of each bar higher, silence between.
#pragma once

#include <cstdint>

#include "song/song_state.h"

struct ClickSettings {
  int bpm = 120;        // 30 to 300 beats per minute
  int beatsPerBar = 4;  // 1 to 12
  int levelDb = -12;    // the peak of a click, -60 to 0 dBFS
};
constexpr int kClickBpmLowest = 30;
constexpr int kClickBpmHighest = 300;
constexpr int kClickBeatsMost = 12;
constexpr int kClickLevelLowest = -60;

// The frame at which beat n begins: n beats of 60 / bpm seconds, to the nearest
// frame, so the beats never drift from the tempo however long the song.
int64_t BeatFrame(int64_t beat, int bpm);

// Writes the click for the whole song into the track, as one step to undo. The
// track stops looping and, unless armed, is switched on; an unnamed track is
// named "Click 120" after its tempo. Settings outside their ranges are limited
// to them. 1 when written; 0 after a message.
int WriteClickTrack(Track& track, const ClickSettings& settings);
