// Save-as, open and the name rules behind them.
#pragma once

#include <string>

// The name the save dialog starts with: the one chosen last in this run.
extern std::string saveName;

// True when a and b name the same file (see the definition for the rule).
bool SameFileName(const std::string& a, const std::string& b);

void SaveSongAs();
int SaveSongTo(const std::string& name);
int CopySongFile(const std::string& source, const std::string& destination);
void OpenSong();
