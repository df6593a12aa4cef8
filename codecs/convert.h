// Decoded audio comes in the shape its file had; a track holds 44,100 Hz 16-bit
// stereo. StereoConverter takes interleaved 16-bit frames of any channel count
// and rate and writes them into a fixed output in the track's form, mono to both
// sides, wider layouts folded to two, other rates through libsoxr. What does not
// fit the output is dropped, so the length limits apply to the converted audio.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct soxr;

// A sample at the float scale libsndfile and FFmpeg share (full scale is 1.0, a
// 16-bit sample s is s / 32,768) to 16 bits: rounded, so 16-bit audio stored in
// any form comes back to the same samples, and limited, so samples past full
// scale clip instead of wrapping round to the other extreme. A NaN from a damaged
// file is silence.
inline int16_t FloatToSixteenBits(float sample) {
  const float x = sample * 32768.f;
  if (x >= 32767.f) return 32767;
  if (x <= -32768.f) return -32768;
  if (x != x) return 0;
  return static_cast<int16_t>(std::lrintf(x));
}

// Which side of the stereo fold a channel of a wider layout feeds.
enum class ChannelSide : uint8_t { Left = 1, Right = 2, Both = 3 };

class StereoConverter {
 public:
  static constexpr long kRate = 44100;
  // Rates beyond this are no audio anyone records, and would only make the
  // resampler build enormous filters.
  static constexpr long kMaxSourceRate = 1'000'000;

  explicit StereoConverter(std::span<uint8_t> output);
  ~StereoConverter();
  StereoConverter(const StereoConverter&) = delete;
  StereoConverter& operator=(const StereoConverter&) = delete;

  // The shape of the frames that follow; a chained or reformatted stream may
  // change it, and what the previous shape left in the resampler is flushed
  // first. False (and later frames are dropped) for a shape we cannot convert.
  // sides: where each channel of a layout wider than stereo goes, for sources
  // that name their channels; without them the Vorbis order is assumed.
  bool SetFormat(int channels, long rate, std::span<const ChannelSide> sides = {});
  // Whole frames of the current format, channels interleaved.
  void Write(std::span<const int16_t> samples);
  // Drains the resampler at the end of the audio.
  void Finish();

  size_t Produced() const { return produced_; }
  bool Full() const { return output_.size() - produced_ < kFrameBytes; }

 private:
  static constexpr size_t kFrameBytes = 4;
  struct SoxrDelete {
    void operator()(soxr* s) const;
  };

  void Append(std::span<const int16_t> stereo);
  void Resample(const int16_t* stereo, size_t frames);
  void FoldToStereo(std::span<const int16_t> samples);

  std::span<uint8_t> output_;
  size_t produced_ = 0;
  int channels_ = 0;
  std::unique_ptr<soxr, SoxrDelete> resampler_;
  std::vector<int16_t> stereo_;             // frames folded to two channels
  std::vector<ChannelSide> sideOfChannel_;  // for wider layouts
};
