// The one effect: a fixed room reverb fed one sample at a time.
#pragma once

#include <cstdint>
#include <span>

#include "base/buffer.h"

struct Allpass {
  int32_t length = 0;
  float gain = 0;
  int32_t position = 0;
  std::span<float> buffer;
  float Step(float x);
  // Steps through x in place, exactly as Step would one value at a time.
  void Run(float* x, int32_t n);
};

struct DelayLine {
  int32_t length = 0;
  int32_t position = 0;
  std::span<float> buffer;
  void Write(float v);
  float Read(int32_t k) const;
};

struct Reverb {
  // Computes the room's settings and allocates every delay memory at once; when
  // memory is short, Ready() is false and the instance must not process.
  Reverb(int sampleRate, float sizeFactor, float reverbTime, float spread, float gain);
  bool Ready() const { return memory != nullptr; }
  // One input value in, the two chains' outputs out.
  void Process(float x, float& first, float& second);
  // n values at once, one stage after the other, giving exactly the outputs of
  // n calls of Process. x is overwritten.
  void ProcessBlock(float* x, float* first, float* second, int32_t n);

  // Exposed for tests of the fixed settings.
  float roomDelay = 0;
  double decayPerStep = 0;
  float diffusionScale = 0;
  DelayLine reflections;
  int32_t taps[4] = {};
  float tapGains[4] = {};
  Allpass a0, a1, a2, a3, b1, b2, b3;
  float gain = 0;

 private:
  Buffer memory;
};

// Rebuilds the effect empty (a failed build leaves no effect: the send mixes dry).
void EffectReset();
// 1 while an effect is built.
int EffectReady();
// Replaces one stereo frame with the frame plus the effect's output.
void EffectFrame(int16_t& left, int16_t& right);
// The same for `frames` interleaved 16-bit stereo frames in order, with the same
// bytes as EffectFrame on each of them, many times faster.
void EffectBlock(uint8_t* pcm, int32_t frames);
// Frees the effect at shut-down.
void EffectRelease();
