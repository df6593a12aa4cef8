// The song file: an 8,000-byte header area, then eight 281-second track regions,
// read and written in place while the song is open.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/file_handle.h"
#include "song/song_state.h"

// Full path of the open song file; empty when none is open.
extern std::string songPath;

// workDir + "default.svl".
std::string WorkingFilePath();

// Starts a new working song in workDir + "default.svl", locked for this program.
// A working file another running program holds is left alone (no song is open
// then); one left holding a song by an earlier run is kept in the unsaved folder
// first, and the user is told where. 0 after a message when no song is open.
int SongFileInit();

// ReadWrite opens the song for this program alone (locked; a song another program
// holds is refused); ReadOnly only reads it and takes no lock.
enum class SongAccess { ReadWrite, ReadOnly };
int SongFileOpen(const std::string& path, SongAccess access = SongAccess::ReadWrite);
// Opens path, for reading and writing and locked, to become the next song while
// the open one stays open. Only a file that holds a song's header is taken. An
// empty handle after a message that names the file and the reason.
FileHandle OpenNextSong(const std::string& path);
// Makes file the open song at path (the one open before is dropped unwritten)
// and loads its settings.
void SongFileAdopt(FileHandle file, const std::string& path);
// The open song file now goes by path (it was moved there while open).
void SongFileRenamed(const std::string& path);
// 1 when the file at path begins with a song's header, whatever its name.
int IsSongFile(const std::string& path);
// 1 when another running program holds the song file at path.
int SongFileHeldElsewhere(const std::string& path);
// Tells the user that another program holds the song at path.
void ReportSongInUse(const std::string& path);

void SongFileWriteHeader();
// Leaves the open song: writes its header and closes it. The working song is
// moved into the unsaved folder when it holds anything, else deleted.
void SongFileClose();
// Closes the open song file without writing its header or deleting anything.
void SongFileCloseOnly();
int SongFileIsOpen();
// 1 when a song is open; otherwise says there is nowhere to put a take or an
// import (after a failed Open, or in a window whose working song another
// program holds) and returns 0.
int RequireOpenSong();
// The open song file, for copying parts of it (an empty handle when none is open).
const FileHandle& SongFileHandle();
// Where the track's region starts in the song file.
int64_t TrackRegionStart(const Track& track);

// Writes count bytes found at source + offset into the track's region at the same
// offset, extending the file with zeros when needed. Returns the bytes written.
int64_t FileWrite(const Track& track, const uint8_t* source, int32_t offset, int32_t count);
int ClearTrackTail(const Track& track, int32_t offset);
// Tells the user that the song file did not take a write whole: `first` ("Not
// enough disk space to save the recording"), then the song and the system's
// reason for the last write that fell short.
void ReportSongWriteFailure(std::string_view first);
// 1 when any byte of the track's region is not zero; a region past the file's
// end, or in its holes, is silent.
int TrackHoldsAudio(const Track& track);
// One second of the track into audioRing[ringSecond % 3]; always 176,400.
int32_t ReadTrackBlock(Track& track);
// out.size() bytes of the track as the song plays them from region byte
// `offset` on, a looping track in the phase the song gives it there.
void ReadTrackPart(Track& track, int32_t offset, std::span<uint8_t> out);
