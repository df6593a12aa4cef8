// The round trip outside the program: how many frames after a byte leaves the
// output the sound played along with it reaches the input. Takes are stored
// that much earlier, so what was played lines up with what was heard.
#pragma once

#include <cstdint>
#include <optional>

// A second: beyond any sound card or server; a larger figure is not a round trip.
constexpr uint32_t kMaxRoundTripFrames = 44100;

// The value measured on this machine, when the user has measured one.
std::optional<uint32_t> MeasuredRoundTrip();

// The measured value, else what the input device reports.
uint32_t RoundTripFrames();

// Keeps a measured value for this and later runs; 1 once it is saved.
int SaveRoundTrip(uint32_t frames);
