// The wave model's 16-bit interleaved stereo next to JACK's one float buffer
// per channel. A 16-bit sample survives the trip to float and back unchanged,
// so what is played through a loop comes back bit for bit.
#pragma once

#include <cmath>
#include <cstdint>

#include "base/bytes.h"

inline void FramesToFloat(const uint8_t* frames, uint32_t count, float* left, float* right) {
  for (uint32_t i = 0; i < count; ++i) {
    left[i] = static_cast<float>(LoadI16(frames + 4 * i)) / 32768.0f;
    right[i] = static_cast<float>(LoadI16(frames + 4 * i + 2)) / 32768.0f;
  }
}

inline int16_t FloatToSample(float value) {
  const float scaled = value * 32768.0f;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return static_cast<int16_t>(std::lrint(scaled));
}

inline void FloatToFrames(const float* left, const float* right, uint32_t count, uint8_t* frames) {
  for (uint32_t i = 0; i < count; ++i) {
    StoreI16(frames + 4 * i, FloatToSample(left[i]));
    StoreI16(frames + 4 * i + 2, FloatToSample(right[i]));
  }
}
