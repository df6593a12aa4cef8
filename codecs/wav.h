// WAV files: the loader of 44,100 Hz 16-bit stereo files and the writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "song/song_state.h"

constexpr int32_t kWavHeaderBytes = 44;
// A WAV read takes at most a region and 1,000 bytes of header and chunks besides.
constexpr int32_t kWavReadLimit = TrackRegionBytes + 1000;

// Where the chunk walk found the format and the audio of a RIFF/WAVE file.
struct WavChunks {
  int64_t format = -1;      // offset of the format chunk's body, -1 when none of 16 bytes or more
  int64_t formatBytes = 0;  // the part of that body the bytes hold
  int64_t data = -1;        // offset of the data chunk's header, -1 when none
};

// Walks the chunks from byte 12 by each chunk's own size (an odd size is followed
// by a pad byte), as far as the bytes go, up to the data chunk.
WavChunks WalkWavChunks(std::span<const uint8_t> bytes);

// True when the bytes begin a RIFF/WAVE file in the tracks' own format: 44,100 Hz
// 16-bit stereo PCM, plain or in the extensible format. Such a file goes into a
// track byte for byte; every other WAV is converted.
bool IsTrackFormatWav(std::span<const uint8_t> head);

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way.
int LoadFileWav(Track& track, const std::string& path);

// The canonical 44-byte header for n bytes of 44,100 Hz 16-bit stereo PCM.
void BuildWavHeader(uint8_t* destination, uint32_t n);

// Writes header and data; 1 on success. A file that cannot be created or written
// whole is reported, and nothing partial is left behind.
int WriteWavFile(const std::string& path, const uint8_t* data, uint32_t n);
