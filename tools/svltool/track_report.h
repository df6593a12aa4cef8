// Track settings as svltool shows them and takes them.
#pragma once

#include <string>

#include "song/song_state.h"

// Prints the eight tracks as a table, or as one JSON object.
void PrintTracks(bool json);

// True when every character could have been typed into the panel's name field.
bool IsPanelName(const std::string& text);
