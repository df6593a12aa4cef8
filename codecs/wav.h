// WAV files: the loader of 44,100 Hz 16-bit stereo files and the writer.
#pragma once

#include <cstdint>
#include <string>

#include "song/song_state.h"

constexpr int32_t kWavHeaderBytes = 44;
// A WAV read takes at most a region and 1,000 bytes of header and chunks besides.
constexpr int32_t kWavReadLimit = TrackRegionBytes + 1000;

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way.
int LoadFileWav(Track& track, const std::string& path);

// The canonical 44-byte header for n bytes of 44,100 Hz 16-bit stereo PCM.
void BuildWavHeader(uint8_t* destination, uint32_t n);

// Writes header and data; 1 on success. A file that cannot be created or written
// whole is reported, and nothing partial is left behind.
int WriteWavFile(const std::string& path, const uint8_t* data, uint32_t n);
