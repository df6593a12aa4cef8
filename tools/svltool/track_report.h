// Track settings as svltool shows them and takes them.
#pragma once

#include <string>

#include "song/song_state.h"

// Prints the eight tracks as a table, or as one JSON object.
void PrintTracks(bool json);

// The name as the panel draws it (bytes outside 32..126 as spaces), without the
// padding at its end.
std::string ShownName(const Track& track);

// True when every character could have been typed into the panel's name field.
bool IsPanelName(const std::string& text);
// The first 21 characters of text, padded with spaces.
void StoreName(Track& track, const std::string& text);
