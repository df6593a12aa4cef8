// Where the program's files live.
#pragma once

#include <string>

// The program's own folder (Help.htm and other shipped files), with a trailing '/'.
extern std::string programDir;
// The working file's folder, with a trailing '/': programDir when writable, else
// the user's data folder. Tests and svltool set one of their own.
extern std::string workDir;

// Sets programDir from the program file's path (the part up to the last '/').
void SetProgramDir(const std::string& programPath);
// Chooses workDir: programDir when it can be written and the program is not an
// installed one, else $XDG_DATA_HOME/sonavel (by default ~/.local/share/sonavel),
// created when missing.
void ChooseWorkDir();

// The program's folder under one of the user's base folders, with a trailing '/',
// created when missing: $<xdgVariable>/sonavel when that names an absolute folder,
// else ~/<homeFallback>/sonavel (/tmp/sonavel without a home). For instance
// UserFolder("XDG_CACHE_HOME", ".cache").
std::string UserFolder(const char* xdgVariable, const char* homeFallback);

// The help page: Help.htm beside the program, or, for a program installed in a
// bin/ folder, in ../share/sonavel/ beside that folder. When neither exists, the
// name beside the program.
std::string HelpFilePath();
