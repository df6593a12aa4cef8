// Working songs that hold something are never deleted: leaving one moves it (a
// rename, never a copy) into the folder unsaved/ of the working folder, where the
// ten kept or written most recently stay. A kept song that a program has open is
// never removed.
#pragma once

#include <ctime>
#include <string>

constexpr int kUnsavedKept = 10;

// workDir + "unsaved/".
std::string UnsavedFolder();

// Moves the song file at path into the unsaved folder as
// unsaved-YYYYMMDD-HHMMSS.svl (local time `now`; "-2", "-3"... after the seconds
// when that name is taken) and dates it `now`. Then removes the kept songs older
// than the nine newest others (by modification time), except those held open.
// Returns the new path; empty when the file could not be moved, and it is then
// still where it was.
std::string KeepUnsaved(const std::string& path, std::time_t now = std::time(nullptr));

// True when path is a song kept in the unsaved folder.
bool IsKeptSong(const std::string& path);
