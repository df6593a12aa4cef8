#include "codecs/convert.h"

#include <soxr.h>

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "track audio is little-endian and is copied as host samples");

namespace {

// Vorbis channel orders for three to eight channels; centre and LFE feed both
// sides. Wider layouts have no defined order and alternate.
const char* const kLayouts[] = {"LBR", "LRLR", "LBRLR", "LBRLRB", "LBRLRBB", "LBRLRLRB"};

}  // namespace

void StereoConverter::SoxrDelete::operator()(soxr* s) const {
  soxr_delete(s);
}

StereoConverter::StereoConverter(std::span<uint8_t> output) : output_(output) {}

StereoConverter::~StereoConverter() = default;

bool StereoConverter::SetFormat(int channels, long rate, std::span<const ChannelSide> sides) {
  Finish();
  resampler_.reset();
  channels_ = 0;
  if (channels < 1 || rate < 1 || rate > kMaxSourceRate) return false;
  if (rate != kRate) {
    soxr_error_t error = nullptr;
    // Without dither, the two sides of a mono source stay alike and a conversion
    // gives the same bytes every time.
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    resampler_.reset(soxr_create(static_cast<double>(rate), static_cast<double>(kRate), 2, &error,
                                 &io, &quality, nullptr));
    if (error != nullptr || !resampler_) {
      resampler_.reset();
      return false;
    }
  }
  sideOfChannel_.clear();
  if (channels > 2 && sides.size() == static_cast<size_t>(channels)) {
    sideOfChannel_.assign(sides.begin(), sides.end());
  } else if (channels > 2) {
    for (int c = 0; c < channels; ++c) {
      char side = c % 2 == 0 ? 'L' : 'R';
      if (channels <= 8) side = kLayouts[channels - 3][c];
      sideOfChannel_.push_back(side == 'L'   ? ChannelSide::Left
                               : side == 'R' ? ChannelSide::Right
                                             : ChannelSide::Both);
    }
  }
  channels_ = channels;
  return true;
}

void StereoConverter::Write(std::span<const int16_t> samples) {
  if (channels_ == 0 || Full()) return;
  if (channels_ == 2) {
    Append(samples);
  } else {
    FoldToStereo(samples);
    Append(stereo_);
  }
}

void StereoConverter::FoldToStereo(std::span<const int16_t> samples) {
  const size_t frames = samples.size() / static_cast<size_t>(channels_);
  stereo_.resize(frames * 2);
  const int16_t* in = samples.data();
  for (size_t f = 0; f < frames; ++f, in += channels_) {
    if (channels_ == 1) {
      stereo_[2 * f] = stereo_[2 * f + 1] = in[0];
      continue;
    }
    // The average of each side's channels keeps the fold within range.
    int32_t sum[2] = {0, 0};
    int32_t count[2] = {0, 0};
    for (int c = 0; c < channels_; ++c) {
      for (int s = 0; s < 2; ++s) {
        if (static_cast<uint8_t>(sideOfChannel_[c]) & (1 << s)) {
          sum[s] += in[c];
          ++count[s];
        }
      }
    }
    stereo_[2 * f] = static_cast<int16_t>(sum[0] / std::max(count[0], 1));
    stereo_[2 * f + 1] = static_cast<int16_t>(sum[1] / std::max(count[1], 1));
  }
}

void StereoConverter::Append(std::span<const int16_t> stereo) {
  const size_t frames = stereo.size() / 2;
  if (resampler_) {
    Resample(stereo.data(), frames);
    return;
  }
  const size_t room = (output_.size() - produced_) / kFrameBytes;
  const size_t take = std::min(frames, room);
  std::memcpy(output_.data() + produced_, stereo.data(), take * kFrameBytes);
  produced_ += take * kFrameBytes;
}

void StereoConverter::Resample(const int16_t* stereo, size_t frames) {
  // A null input tells the resampler that the audio has ended: it then gives out
  // what it still holds.
  const bool draining = stereo == nullptr;
  while ((draining || frames > 0) && !Full()) {
    size_t used = 0;
    size_t made = 0;
    const size_t room = (output_.size() - produced_) / kFrameBytes;
    if (soxr_process(resampler_.get(), stereo, frames, &used, output_.data() + produced_, room,
                     &made) != nullptr) {
      return;
    }
    produced_ += made * kFrameBytes;
    if (draining) {
      if (made == 0) return;
      continue;
    }
    if (used == 0 && made == 0) return;
    stereo += used * 2;
    frames -= used;
  }
}

void StereoConverter::Finish() {
  if (resampler_) Resample(nullptr, 0);
}
