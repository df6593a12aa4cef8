// MP3 import through libmpg123.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/imported_audio.h"
#include "song/song_state.h"

constexpr int32_t kMp3ImageBytes = 12'000'000;  // most of an MP3 file that is decoded
// A looping MP3 repeats from here: the decoder's start-up delay is left out.
constexpr int32_t kMp3LoopStart = 4232;

// 1 when imported; 0 when refused (the track is then untouched) or when the disk
// took only part of it, after a message either way.
int LoadMp3(Track& track, const std::string& path);

// Decodes the file's first 12,000,000 bytes to 44,100 Hz stereo PCM at
// destination; returns the bytes written (at most capacity). status: Ok when some
// audio came out.
int32_t DecodeMp3Lib(const std::string& path, uint8_t* destination, int32_t capacity,
                     DecodeStatus* status = nullptr);

// This platform has no decoder filter to register: always 0.
int RegisterMp3Decoder();
