// What every loader shares: how imported audio lands in a track, and how a
// refusal is told. The loaders call only this, never the dispatcher that picks
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "song/song_state.h"

// A file whose name begins with "loop" (any case) makes the track repeat
// [start, end); any other name turns looping off and leaves the offsets alone.
void ApplyLoopName(Track& track, std::string_view path, int32_t start, int32_t end);

// A track's name taken from a file's: the name after the last '/' without its
// extension, printable ASCII ("Café.wav" is "Caf_").
std::string TrackNameFromPath(std::string_view path);

// How every loader ends: the audio (region layout) becomes the start of the
// track's region, the rest of the region is silenced, and the name rule applies.
// A track that is not armed is switched on, and an unnamed one named after the
// file; all of it is one step to undo. Returns 1; 0 after telling the user when
// the audio could not be written whole (the settings are then left as they
// were).
int StoreImportedAudio(Track& track, const uint8_t* audio, int32_t length, std::string_view path,
                       int32_t loopStart);

// Why a decoder gave nothing that may replace a track.
enum class DecodeStatus { Ok, NoMemory, MissingFile, Undecodable };

// Tells the user that the file was not imported, and why:
// "LoadSoundFile: Format not recognised: /home/me/take.xyz", and when the system
// or a library gave a reason of its own, "/home/me/take.xyz: reason" on a line of
// its own.
void ReportImportFailure(std::string_view routine, std::string_view why, std::string_view path,
                         std::string_view reason = {});

// The loader's refusal message for a status other than Ok, e.g.
// "LoadMp3: Missing File: /home/me/take.mp3".
void ReportDecodeFailure(std::string_view loader, DecodeStatus status, std::string_view path);
