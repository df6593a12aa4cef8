// Importing a sound file into a track, the WAV loader and the WAV writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "song/song_state.h"

constexpr int32_t kWavHeaderBytes = 44;
// A WAV read takes at most a region and 1,000 bytes of header and chunks besides.
constexpr int32_t kWavReadLimit = TrackRegionBytes + 1000;

// The import command: asks for a file and loads it into the armed track (track 1
// when none is armed), choosing the loader by the name's last three characters.
void ImportSoundFile();

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way.
int LoadFileWav(Track& track, const std::string& path);

// A file whose name begins with "loop" (any case) makes the track repeat
// [start, end); any other name turns looping off and leaves the offsets alone.
void ApplyLoopName(Track& track, std::string_view path, int32_t start, int32_t end);

// The canonical 44-byte header for n bytes of 44,100 Hz 16-bit stereo PCM.
void BuildWavHeader(uint8_t* destination, uint32_t n);

// Writes header and data; 1 on success. A file that cannot be created or written
// whole is reported, and nothing partial is left behind.
int WriteWavFile(const std::string& path, const uint8_t* data, uint32_t n);

// How every loader ends: the audio (region layout) becomes the start of the
// track's region, the rest of the region is silenced, and the name rule applies.
// Returns 1; 0 after telling the user when the audio could not be written whole
// (the loop settings are then left as they were).
int StoreImportedAudio(Track& track, const uint8_t* audio, int32_t length, std::string_view path,
                       int32_t loopStart);

// Why a decoder gave nothing that may replace a track.
enum class DecodeStatus { Ok, NoMemory, MissingFile, Undecodable };

// The loader's refusal message for a status other than Ok, e.g. "LoadMp3: Missing File".
void ReportDecodeFailure(std::string_view loader, DecodeStatus status);
