// Sound files read through libsndfile: WAV of every shape but the tracks' own,
// AIFF and AIFC, CAF, FLAC and Ogg Opus, converted to 44,100 Hz 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "song/song_state.h"

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way. What libsndfile cannot read
// goes to FFmpeg.
int LoadSoundFile(Track& track, const std::string& path);

// Decodes the file's audio into output as 44,100 Hz 16-bit stereo, as much as
// fits, and returns the bytes written (whole frames). why: empty when the file
// could be read, else what kept it from being read.
size_t DecodeSoundFile(const std::string& path, std::span<uint8_t> output, std::string* why);
