// The round trip outside the program: how many frames after a byte leaves the
// output the sound played along with it reaches the input. Takes are stored
// that much earlier, so what was played lines up with what was heard. Each
// sound path (a backend, its devices, a JACK period) has its own: a value
// measured on one says nothing about another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A second: beyond any sound card or server; a larger figure is not a round trip.
constexpr uint32_t kMaxRoundTripFrames = 44100;

// The settings key of the current path's measured value.
std::string RoundTripSetting();

// The value measured on the current path, when the user has measured one. A
// stored value that is no figure up to a second is told once per run of the
// program and counts as none.
std::optional<uint32_t> MeasuredRoundTrip();

// The measured value, else what the input device reports.
uint32_t RoundTripFrames();

// Keeps a measured value for the current path; 1 once it is saved.
int SaveRoundTrip(uint32_t frames);

// A new run of the program: what was told is told again.
void RoundTripReportsForget();
