// One step back and one forward over the last change to a track's audio. Before
// a take or an import overwrites part of a track, the bytes it replaces and the
// track's loop settings are kept in an unnamed file of the user's cache folder
// ($XDG_CACHE_HOME/sonavel/, by default ~/.cache/sonavel/), which vanishes with
// the program.
#pragma once

#include <cstdint>
#include <string>

#include "song/song_state.h"

enum class UndoKind { Recording, Import };

struct LoopSettings {
  uint8_t loopOn = 0;
  int32_t loopStart = 0;
  int32_t loopEnd = 0;
};

LoopSettings LoopOf(const Track& track);

// Finds the cache folder now, so that keeping a take at the stop allocates
// nothing (the folder is found once per run of the program).
void PrepareUndo();

// Before a change overwrites [offset, offset + length) of the track's region:
// keeps those bytes and `loop`, the loop settings the change replaces, as the
// step to undo; the step to redo is dropped. 0 when they could not be kept
// (there is then nothing to undo).
int KeepForUndo(UndoKind kind, const Track& track, const LoopSettings& loop, int32_t offset,
                int32_t length);

// FileWrite for the change just kept. Keeping is never worth the take or the
// import itself: when the write falls short and a step is kept, the step is
// dropped (its file may hold the room the write needs) and the write is tried
// once more. Returns the bytes written.
int64_t FileWriteOrDropUndo(const Track& track, const uint8_t* source, int32_t offset,
                            int32_t count);

// Whether there is a step to take, and the menu entry that names it: "Undo
// Recording on Track 2", "Redo Import on Track 1", or "Undo" and "Redo" alone.
int CanUndo();
int CanRedo();
std::string UndoText();
std::string RedoText();

// Puts the kept bytes and loop settings back, keeping what they replace for the
// step the other way. 0 after a message when the song could not be written (both
// steps stay, so either can be tried again).
int Undo();
int Redo();

// Forgets both steps: the song they belong to is being left.
void DropUndo();
