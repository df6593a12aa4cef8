// Importing a sound file into a track: the loader chosen by the file's content.
#pragma once

#include <cstdint>
#include <string>

#include "song/song_state.h"

// Loads the file at path into the track with the loader its content chooses,
// whatever its name: WAV, AIFF, CAF, FLAC, Ogg Vorbis, Ogg Opus or MP3, and
// through FFmpeg whatever those do not read. 1 when
// imported; 0 when refused (the track is then untouched) or not imported whole,
// after a message.
int ImportFileTo(Track& track, const std::string& path);
