// The track settings kept at the start of a song file.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "song/song_state.h"

// Version byte, then one 33-byte settings record per track.
constexpr uint8_t SongHeaderVersion = 2;
constexpr int SongHeaderRecordBytes = 33;
constexpr int SongHeaderUsedBytes = 1 + TrackCount * SongHeaderRecordBytes;  // 265
// Version 1 kept only the play switch, the volume and the name.
constexpr int SongHeaderVersion1RecordBytes = 23;
constexpr int SongHeaderVersion1Bytes = 1 + TrackCount * SongHeaderVersion1RecordBytes;  // 185

// The settings of tracks 1..8 in the layout every song file is written with.
std::array<uint8_t, SongHeaderUsedBytes> EncodeSongHeader();

// Loads the settings of tracks 1..8 from a header area (version 1 or 2 layout)
// into the track records, made safe for every part of the program that uses
// them. Bytes the span does not hold count as zero.
void DecodeSongHeader(std::span<const uint8_t> header);

// True when the track's loop fields describe a non-empty part of its own region,
// in whole frames.
bool LoopFitsRegion(const Track& track);
