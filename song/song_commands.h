// New, open and save-as on song files by name, and the name rules behind them.
// Each tells the user itself what went wrong; none asks for a name.
#pragma once

#include <string>

// True when a and b name the same file (see the definition for the rule).
bool SameFileName(const std::string& a, const std::string& b);

// Leaves the current song and starts an empty one in a fresh working file.
int NewSong();
// Leaves the current song and opens the one at path; 0 when it cannot be opened
// (no song is open then).
int OpenSongFrom(const std::string& path);
// Saves the song as name: the working file moves there, a named song is copied.
// From then on name is the open song. 0 when it was not saved.
int SaveSongTo(const std::string& name);
int CopySongFile(const std::string& source, const std::string& destination);
