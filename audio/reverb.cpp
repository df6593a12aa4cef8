#include "audio/reverb.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "audio/vector_clones.h"

namespace {

// The room's settings are derived in the precisions below; the lengths, taps and
// gains they give must not move by one step, so keep the types as they are.
constexpr float kInverseSpeedOfSound = 0.0029411765f;  // 1 / 340 m/s
constexpr float kDiffusionShare = 0.63245f;
constexpr float kInverseDiffusionSpan = 0.00074571214f;  // 1 / 1341
constexpr int32_t kDiffusionSpan = 1341;
constexpr int32_t kDiffusionStart = 210;
constexpr float kSplitA1 = -0.125541f;
constexpr float kSplitA2 = -0.854046f;
constexpr float kSplitB1 = 0.568366f;
constexpr float kSplitB2 = 0.126815f;
constexpr int32_t kReflectionSteps = 44000;
constexpr float kInputGain = 0.75f;
constexpr float kChainGains[3] = {0.75f, 0.625f, 0.625f};
// Larger inputs are taken for garbage rather than sound.
constexpr float kLargestInput = 100000.0f;
// Steps that go through one stage before the next stage starts. The reflection
// line is written a whole chunk ahead of its reads, so a chunk must stay shorter
// than the line minus its longest tap (44,000 - 7,981).
constexpr int32_t kChunkSteps = 1024;

int32_t Truncate(double v) {
  return static_cast<int32_t>(std::trunc(v));
}

// Values this small would only circulate as denormal noise once the input falls
// silent, and cost far more to compute than they are worth. A biased exponent
// below 16 is a magnitude below 2^-111; a comparison, unlike a look at the bits,
// lets the compiler handle many values per instruction.
float FlushTiny(float v) {
  return std::fabs(v) < 0x1p-111f ? 0.0f : v;
}

// NaN fails the comparison and becomes 0 too.
float Guard(float x) {
  return std::fabs(x) <= kLargestInput ? x : 0.0f;
}

// out[i] = gain times the value stored `back` writes before the line's position,
// plus i.
VECTOR_CLONES void ReadScaled(const DelayLine& line, int32_t back, float gain, float* out,
                              int32_t n) {
  int32_t at = line.position - back;
  if (at < 0) at += line.length;
  while (n > 0) {
    const int32_t m = std::min(n, line.length - at);
    const float* from = line.buffer.data() + at;
    for (int32_t i = 0; i < m; ++i) out[i] = from[i] * gain;
    out += m;
    n -= m;
    at = 0;
  }
}

void WriteAll(DelayLine& line, const float* values, int32_t n) {
  while (n > 0) {
    const int32_t m = std::min(n, line.length - line.position);
    std::memcpy(line.buffer.data() + line.position, values, static_cast<size_t>(m) * sizeof(float));
    line.position = line.position + m == line.length ? 0 : line.position + m;
    values += m;
    n -= m;
  }
}

std::optional<Reverb> effect;

int16_t Saturate(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return static_cast<int16_t>(v);  // truncates toward zero
}

}  // namespace

float Allpass::Step(float x) {
  const float z = buffer[position];
  const float v = FlushTiny(x - gain * z);
  const float out = gain * v + z;
  buffer[position] = v;
  position = position + 1 == length ? 0 : position + 1;
  return out;
}

// On processors that have them, the loops below run on 8-wide vector
// instructions; without a fused multiply-add among them the results are the same.
VECTOR_CLONES void Allpass::Run(float* x, int32_t n) {
  // Within one pass up to the end of the memory every step reads and then
  // replaces its own slot, so the steps do not depend on each other.
  while (n > 0) {
    const int32_t m = std::min(n, length - position);
    float* z = buffer.data() + position;
    const float g = gain;
    for (int32_t i = 0; i < m; ++i) {
      const float old = z[i];
      const float v = FlushTiny(x[i] - g * old);
      z[i] = v;
      x[i] = g * v + old;
    }
    position = position + m == length ? 0 : position + m;
    x += m;
    n -= m;
  }
}

void DelayLine::Write(float v) {
  buffer[position] = v;
  position = position + 1 == length ? 0 : position + 1;
}

float DelayLine::Read(int32_t k) const {
  // k is at most length: one wrap at most, without a division per read.
  const int32_t at = position - k;
  return buffer[at < 0 ? at + length : at];
}

Reverb::Reverb(int sampleRate, float sizeFactor, float reverbTime, float spread, float g)
    : gain(g) {
  roomDelay = sizeFactor * 300.0f * static_cast<float>(sampleRate) * kInverseSpeedOfSound;
  decayPerStep = std::pow(1e-3, 1.0 / (static_cast<double>(reverbTime) * sampleRate));

  taps[0] = Truncate(roomDelay * 0.41 + 5);
  taps[1] = Truncate(roomDelay * 0.3 + 5);
  taps[2] = Truncate(roomDelay * 0.155 + 5);
  taps[3] = 5;
  for (int i = 0; i < 4; ++i) tapGains[i] = static_cast<float>(std::pow(decayPerStep, taps[i]));

  // nearbyint rounds halves to even in the default rounding mode.
  const float diffusionSteps = std::nearbyint(roomDelay * kDiffusionShare);
  diffusionScale = diffusionSteps * kInverseDiffusionSpan;
  const float r = diffusionScale;

  const int32_t p1 = 369 - Truncate(spread * kSplitA1);
  const int32_t p2 = 931 - Truncate(3.0f * spread * kSplitA2);
  const int32_t q1 = 369 - Truncate(spread * kSplitB1);
  const int32_t q2 = 931 - Truncate(3.0f * spread * kSplitB2);

  a0.length = Truncate(static_cast<float>(kDiffusionStart) * r);
  a0.gain = kInputGain;
  const int32_t aSplits[4] = {kDiffusionStart, p1, p2, kDiffusionSpan};
  const int32_t bSplits[4] = {kDiffusionStart, q1, q2, kDiffusionSpan};
  Allpass* aChain[3] = {&a1, &a2, &a3};
  Allpass* bChain[3] = {&b1, &b2, &b3};
  for (int i = 0; i < 3; ++i) {
    aChain[i]->length = Truncate(static_cast<float>(aSplits[i + 1] - aSplits[i]) * r);
    aChain[i]->gain = kChainGains[i];
    bChain[i]->length = Truncate(static_cast<float>(bSplits[i + 1] - bSplits[i]) * r);
    bChain[i]->gain = kChainGains[i];
  }
  reflections.length = kReflectionSteps;

  Allpass* all[7] = {&a0, &a1, &a2, &a3, &b1, &b2, &b3};
  size_t floats = static_cast<size_t>(reflections.length);
  for (Allpass* a : all) floats += static_cast<size_t>(a->length);
  memory = TryAllocate(floats * sizeof(float));
  if (!memory) return;
  std::memset(memory.get(), 0, floats * sizeof(float));
  float* next = reinterpret_cast<float*>(memory.get());
  reflections.buffer = {next, static_cast<size_t>(reflections.length)};
  next += reflections.length;
  for (Allpass* a : all) {
    a->buffer = {next, static_cast<size_t>(a->length)};
    next += a->length;
  }
}

void Reverb::Process(float x, float& first, float& second) {
  x = Guard(x);
  const float d = a0.Step(x);
  float e[4];
  for (int i = 0; i < 4; ++i) e[i] = reflections.Read(taps[i]) * tapGains[i];
  reflections.Write(d);
  const float early = gain * e[0] - gain * e[1] + gain * e[2] - gain * e[3];
  const float y = gain * x + early;
  first = a3.Step(a2.Step(a1.Step(y)));
  second = b3.Step(b2.Step(b1.Step(y)));
}

VECTOR_CLONES void Reverb::ProcessBlock(float* x, float* first, float* second, int32_t n) {
  // Each stage of a chunk is a loop without a carried dependency: an allpass only
  // reads values stored at least 1,413 steps back, and the reflection line only
  // feeds forward from the input diffuser.
  for (int32_t start = 0; start < n; start += kChunkSteps) {
    const int32_t m = std::min(kChunkSteps, n - start);
    float* in = x + start;
    float* a = first + start;
    float* b = second + start;
    for (int32_t i = 0; i < m; ++i) in[i] = Guard(in[i]);

    float d[kChunkSteps];
    std::memcpy(d, in, static_cast<size_t>(m) * sizeof(float));
    a0.Run(d, m);
    // The shortest tap is 5 steps, so every read of the chunk sees either an
    // older value or one of this chunk's, never its own step's write.
    float e[4][kChunkSteps];
    WriteAll(reflections, d, m);
    for (int t = 0; t < 4; ++t) ReadScaled(reflections, taps[t] + m, tapGains[t], e[t], m);
    for (int32_t i = 0; i < m; ++i) {
      const float early = gain * e[0][i] - gain * e[1][i] + gain * e[2][i] - gain * e[3][i];
      a[i] = gain * in[i] + early;
    }
    std::memcpy(b, a, static_cast<size_t>(m) * sizeof(float));
    a1.Run(a, m);
    a2.Run(a, m);
    a3.Run(a, m);
    b1.Run(b, m);
    b2.Run(b, m);
    b3.Run(b, m);
  }
}

void EffectReset() {
  effect.reset();
  Reverb fresh(44100, 0.5f, 3.5f, 9.0f, 0.1f);
  if (fresh.Ready()) effect = std::move(fresh);
}

int EffectReady() {
  return effect.has_value() ? 1 : 0;
}

void EffectFrame(int16_t& left, int16_t& right) {
  if (!effect) return;
  float a1, b1, a2, b2;
  effect->Process(static_cast<float>(left), a1, b1);
  effect->Process(static_cast<float>(right), a2, b2);
  left = Saturate(a2 + a1 + static_cast<float>(left));
  right = Saturate(b2 + b1 + static_cast<float>(right));
}

VECTOR_CLONES void EffectBlock(uint8_t* pcm, int32_t frames) {
  if (!effect) return;
  constexpr int32_t kChunkFrames = kChunkSteps / 2;
  int16_t samples[kChunkSteps];
  float x[kChunkSteps];
  float a[kChunkSteps];
  float b[kChunkSteps];
  for (int32_t start = 0; start < frames; start += kChunkFrames) {
    const int32_t m = std::min(kChunkFrames, frames - start);
    uint8_t* bytes = pcm + int64_t{start} * 4;
    std::memcpy(samples, bytes, static_cast<size_t>(m) * 4);
    // Left and right take turns through the one instance, as in EffectFrame.
    for (int32_t i = 0; i < 2 * m; ++i) x[i] = static_cast<float>(samples[i]);
    effect->ProcessBlock(x, a, b, 2 * m);
    for (int32_t f = 0; f < m; ++f) {
      const int32_t l = 2 * f;
      const int32_t r = 2 * f + 1;
      samples[l] = Saturate(a[r] + a[l] + static_cast<float>(samples[l]));
      samples[r] = Saturate(b[r] + b[l] + static_cast<float>(samples[r]));
    }
    std::memcpy(bytes, samples, static_cast<size_t>(m) * 4);
  }
}

void EffectRelease() {
  effect.reset();
}
