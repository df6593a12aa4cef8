// Decoded audio comes in the shape its file had; a track holds 44,100 Hz 16-bit
// stereo. StereoConverter takes interleaved 16-bit frames of any channel count
// and rate and writes them into a fixed output in the track's form, mono to both
// sides, wider layouts folded to two, other rates through libsoxr. What does not
// fit the output is dropped, so the length limits apply to the converted audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct soxr;

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
  bool SetFormat(int channels, long rate);
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
  std::vector<int16_t> stereo_;         // frames folded to two channels
  std::vector<uint8_t> sideOfChannel_;  // for wider layouts: left, right or both
};
