#include "audio/round_trip.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "base/settings.h"
#include "platform/wave.h"

namespace {

constexpr const char* kRoundTripKey = "round_trip_frames";

}  // namespace

std::optional<uint32_t> MeasuredRoundTrip() {
  // The file is the user's to edit: anything but a plain figure in range is
  // taken as no measurement at all.
  const std::string text = ReadSetting(kRoundTripKey);
  uint32_t frames = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), frames);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      frames > kMaxRoundTripFrames) {
    return std::nullopt;
  }
  return frames;
}

uint32_t RoundTripFrames() {
  if (const std::optional<uint32_t> measured = MeasuredRoundTrip()) return *measured;
  return std::min(waveIn().RoundTripFrames(), kMaxRoundTripFrames);
}

int SaveRoundTrip(uint32_t frames) {
  return WriteSetting(kRoundTripKey, std::to_string(frames));
}
