// What the benchmarks share: a temporary folder of their own (never the
// repository), the working song file in it, and a dense full song to read from.
#pragma once

#include <cstdint>
#include <string>

// The benchmarks' folder, ending in '/'; removed when the program ends.
const std::string& BenchDir();

// Opens a fresh working song in BenchDir() with a work buffer, the mixer's blocks
// and every track record numbered and set to play straight, dry, at volume 80.
void FreshSong();

// Fills all eight track regions with 281 seconds of distinct tones, so the song
// file is dense (every byte on disk); with `reverbTracks` of them (from track 1
// on) sending to the effect. Built once per program run.
void DenseSong(int reverbTracks);

// Interleaved 16-bit stereo of a few mixed tones with a slow swell: music-like
// input for the mixer and the effect, `frames` frames from frame `start`.
void FillTones(uint8_t* pcm, int64_t frames, int64_t start, int seed);

// Runs a shell command; false when it did not exit with 0.
bool Shell(const std::string& command);
bool HaveTool(const char* tool);
