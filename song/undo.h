// The last changes to the song's audio, to be taken back and forth. A step is
// one change: the bytes of the one track range it replaced, kept in an unnamed
// file of the user's cache folder ($XDG_CACHE_HOME/sonavel/, by default
// ~/.cache/sonavel/) that vanishes with the program, and the settings of every
// track it changed, before and after. Undo goes back through the newest steps
// first; a new change forgets what was undone.
#pragma once

#include <cstdint>
#include <string>

#include "song/song_state.h"

enum class UndoKind { Recording, Import, ClickTrack, Bounce };

struct LoopSettings {
  uint8_t loopOn = 0;
  int32_t loopStart = 0;
  int32_t loopEnd = 0;
};

LoopSettings LoopOf(const Track& track);

// How much is kept: no more than kUndoSteps steps, whose files hold no more
// than undoByteLimit bytes in all (2 GiB); the oldest steps go first. A limit
// of 0 keeps nothing: a tool that makes one change and ends never undoes it.
constexpr int kUndoSteps = 20;
extern int64_t undoByteLimit;

// Finds the cache folder now, so that keeping a take at the stop allocates
// nothing (the folder is found once per run of the program).
void PrepareUndo();

// Opens a step before a change overwrites [offset, offset + length) of the
// track's region: keeps those bytes and the settings of every track as they are,
// except the track's loop, which is `loop` (a take has switched it off at its
// start already). Whatever was undone is forgotten. 0 when the bytes could not
// be kept: the change then cannot be undone, and neither can anything before it.
int KeepForUndo(UndoKind kind, const Track& track, const LoopSettings& loop, int32_t offset,
                int32_t length);

// FileWrite for the change just kept. Keeping is never worth the take or the
// import itself: when the write falls short and steps are kept, they are all
// dropped (their files may hold the room the write needs, and a change that
// could not be kept leaves nothing before it to undo) and the write is tried
// once more. Returns the bytes written.
int64_t FileWriteOrDropUndo(const Track& track, const uint8_t* source, int32_t offset,
                            int32_t count);

// Closes the step KeepForUndo opened: the settings the change left are noted,
// and only the fields it changed are kept, so undoing it leaves a later change
// to another field alone.
void FinishUndoStep();

// A change that replaces the track's whole region with `length` bytes of audio
// and silence after them, kept as one step left open for the settings the
// change goes on to set. 0 when the audio could not be written whole (nothing
// is kept then); the caller tells the user.
int ReplaceTrackAudio(UndoKind kind, Track& track, const uint8_t* audio, int32_t length);

// Whether there is a step to take, and the menu entry that names it: "Undo
// Recording on Track 2", "Redo Click Track on Track 1", "Undo Bounce to Track
// 5", or "Undo" and "Redo" alone.
int CanUndo();
int CanRedo();
std::string UndoText();
std::string RedoText();

// Puts back the newest step's bytes and the settings it changed, keeping what
// they replace for the step the other way, and has the song shown again. 0 after
// a message when the song could not be written (every step stays, so either can
// be tried again).
int Undo();
int Redo();

// Forgets every step: the song they belong to is being left.
void DropUndo();
