// The song file: an 8,000-byte header area, then eight 281-second track regions,
// read and written in place while the song is open.
#pragma once

#include <cstdint>
#include <string>

#include "song/song_state.h"

// Full path of the open song file; empty when none is open.
extern std::string songPath;

// workDir + "default.svl".
std::string WorkingFilePath();

int SongFileInit();
int SongFileOpen(const std::string& path);
void SongFileWriteHeader();
void SongFileClose();
// Closes the open song file without writing its header or deleting anything.
void SongFileCloseOnly();
int SongFileIsOpen();

// Writes count bytes found at source + offset into the track's region at the same
// offset, extending the file with zeros when needed. Returns the bytes written.
int64_t FileWrite(const Track& track, const uint8_t* source, int32_t offset, int32_t count);
int ClearTrackTail(const Track& track, int32_t offset);
// One second of the track into audioRing[ringSecond % 3]; always 176,400.
int32_t ReadTrackBlock(Track& track);
