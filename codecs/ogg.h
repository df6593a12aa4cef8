// Ogg Vorbis: import into a track and export of the mix, both coded in memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "codecs/encode_feed.h"
#include "codecs/imported_audio.h"
#include "song/song_state.h"

constexpr int32_t kOggImageBytes = 20'000'000;   // most of an Ogg file read for import
constexpr int32_t kOggOutputBytes = 20'000'000;  // room for an encoded export

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way.
int LoadOgg(Track& track, const std::string& path);

// Encodes the mix (n bytes) into an Ogg Vorbis file. 1 when the file was written; 0 after a
// message otherwise, with no file left behind.
int ExportSave(const std::string& path, uint8_t* mix, uint32_t n);

// Decodes every logical stream of the input, one after the other, into a WAV image
// at output: header, then 44,100 Hz stereo PCM. Returns the image's size.
// status: Ok when the input was a well-formed Ogg Vorbis file or gave any audio.
int32_t DecodeOggImage(std::span<const uint8_t> input, std::span<uint8_t> output,
                       DecodeStatus* status = nullptr);

// Encodes a WAV image (44,100 Hz stereo PCM behind its header) as Ogg Vorbis into
// output; returns the bytes produced. overflow: set when the output had no room
// for everything.
int32_t EncodeWavImage(std::span<const uint8_t> input, std::span<uint8_t> output,
                       bool* overflow = nullptr);
// The same from the PCM of a feed (any thread may run it).
int32_t EncodeVorbis(PcmFeed& feed, std::span<uint8_t> output, bool* overflow = nullptr);
// The mix's Ogg Vorbis file in memory, told as ExportSave tells it.
Encoded EncodeOggExport(PcmFeed& feed);
