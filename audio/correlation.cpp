#include "audio/correlation.h"

#include <fftw3.h>

#include <cmath>
#include <memory>
#include <numeric>

namespace {

// A true echo of a noise burst stands hundreds of times above the chance
// matches at other delays; unrelated input stays within about five times
// their RMS over a second of delays.
constexpr double kClearPeak = 10.0;

// The peak of a path through a speaker and a microphone is smeared over a few
// milliseconds: those delays are the echo itself, not the floor it must clear.
constexpr size_t kPeakWidth = 256;

// Where most of what was heard is digital silence (an input that went quiet, a
// loop broken mid-way), the floor is nearly nothing and a chance match with a
// few unrelated frames stands far above it. A true echo also correlates well
// with what was heard where it lies: even a faint one through a small speaker
// and a cheap microphone keeps a coefficient of several tenths, while chance
// stays near 1 / sqrt(burst frames), a few hundredths.
constexpr double kClearCoefficient = 0.1;

struct FftwFree {
  void operator()(void* p) const { fftwf_free(p); }
};
using RealBuffer = std::unique_ptr<float[], FftwFree>;
using ComplexBuffer = std::unique_ptr<fftwf_complex[], FftwFree>;

struct Plan {
  fftwf_plan plan;
  ~Plan() {
    if (plan != nullptr) fftwf_destroy_plan(plan);
  }
};

float Mean(std::span<const float> from) {
  const double sum = std::accumulate(from.begin(), from.end(), 0.0);
  return from.empty() ? 0.0f : static_cast<float>(sum / static_cast<double>(from.size()));
}

// Copies `from` without its mean into the front of `to`, zeros behind it.
void LoadCentred(std::span<const float> from, float* to, size_t size) {
  const float mean = Mean(from);
  for (size_t i = 0; i < size; ++i) to[i] = i < from.size() ? from[i] - mean : 0.0f;
}

double CentredEnergy(std::span<const float> from, float mean) {
  double energy = 0;
  for (const float v : from) energy += double{v - mean} * (v - mean);
  return energy;
}

}  // namespace

std::optional<uint32_t> FindDelay(std::span<const float> sent, std::span<const float> heard) {
  if (sent.empty() || heard.size() < sent.size()) return std::nullopt;
  const size_t lags = heard.size() - sent.size() + 1;
  // Zeros behind the recording keep the delays looked at clear of wrap-around.
  size_t n = 2;
  while (n < heard.size()) n *= 2;
  const size_t bins = n / 2 + 1;

  // Estimated plans on aligned buffers: the same input gives the same bits.
  RealBuffer h(fftwf_alloc_real(n));
  RealBuffer s(fftwf_alloc_real(n));
  ComplexBuffer hs(fftwf_alloc_complex(bins));
  ComplexBuffer ss(fftwf_alloc_complex(bins));
  if (!h || !s || !hs || !ss) return std::nullopt;
  const int size = static_cast<int>(n);
  const Plan forwardH{fftwf_plan_dft_r2c_1d(size, h.get(), hs.get(), FFTW_ESTIMATE)};
  const Plan forwardS{fftwf_plan_dft_r2c_1d(size, s.get(), ss.get(), FFTW_ESTIMATE)};
  const Plan back{fftwf_plan_dft_c2r_1d(size, hs.get(), h.get(), FFTW_ESTIMATE)};
  if (!forwardH.plan || !forwardS.plan || !back.plan) return std::nullopt;

  LoadCentred(heard, h.get(), n);
  LoadCentred(sent, s.get(), n);
  fftwf_execute(forwardH.plan);
  fftwf_execute(forwardS.plan);
  for (size_t i = 0; i < bins; ++i) {
    const float re = hs[i][0] * ss[i][0] + hs[i][1] * ss[i][1];
    const float im = hs[i][1] * ss[i][0] - hs[i][0] * ss[i][1];
    hs[i][0] = re;
    hs[i][1] = im;
  }
  fftwf_execute(back.plan);  // h[k]: the correlation at delay k

  size_t best = 0;
  for (size_t k = 1; k < lags; ++k) {
    if (std::fabs(h[k]) > std::fabs(h[best])) best = k;
  }
  double floor = 0;
  size_t counted = 0;
  for (size_t k = 0; k < lags; ++k) {
    if (k + kPeakWidth >= best && k <= best + kPeakWidth) continue;
    floor += double{h[k]} * h[k];
    ++counted;
  }
  const double peak = std::fabs(h[best]);
  if (counted == 0 || peak == 0 || peak < kClearPeak * std::sqrt(floor / counted)) {
    return std::nullopt;
  }
  // The transforms leave every correlation n times too large.
  const double energies = CentredEnergy(sent, Mean(sent)) *
                          CentredEnergy(heard.subspan(best, sent.size()), Mean(heard));
  if (peak / static_cast<double>(n) < kClearCoefficient * std::sqrt(energies)) return std::nullopt;
  return static_cast<uint32_t>(best);
}
