// The one effect: a fixed room reverb fed one sample at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct Allpass {
  int32_t length = 0;
  float gain = 0;
  int32_t position = 0;
  std::vector<float> buffer;
  float Step(float x);
};

struct DelayLine {
  int32_t length = 0;
  int32_t position = 0;
  std::vector<float> buffer;
  void Write(float v);
  float Read(int32_t k) const;
};

struct Reverb {
  Reverb(int sampleRate, float sizeFactor, float reverbTime, float spread, float gain);
  // One input value in, the two chains' outputs out.
  void Process(float x, float& first, float& second);
  // Exposed for tests of the fixed settings.
  DelayLine reflections;
  int32_t taps[4] = {};
  float tapGains[4] = {};
  Allpass a0, a1, a2, a3, b1, b2, b3;
  float gain = 0;
};

// Rebuilds the effect empty (a failed build leaves no effect: the send mixes dry).
void EffectReset();
// Replaces one stereo frame with the frame plus the effect's output.
void EffectFrame(int16_t& left, int16_t& right);
// Frees the effect at shut-down.
void EffectRelease();
