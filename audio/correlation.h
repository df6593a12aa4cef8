// Where a known signal lies in a recording of it, by cross-correlation.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The delay in frames (0 to heard.size() - sent.size()) at which `heard`
// matches `sent` best, either way round in polarity, when that match stands
// out clearly above every other delay; nullopt when nothing of `sent` came back
// (silence, unrelated noise, a recording shorter than the signal).
std::optional<uint32_t> FindDelay(std::span<const float> sent, std::span<const float> heard);
