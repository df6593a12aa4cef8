#include "audio/round_trip.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "base/settings.h"
#include "platform/platform.h"
#include "platform/wave.h"

namespace {

// Before values were kept per path there was one, under this key.
constexpr const char* kSingleKey = "round_trip_frames";

// Keys whose unreadable values were told this run.
std::vector<std::string> told;

std::optional<uint32_t> ParseFrames(const std::string& text) {
  uint32_t frames = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), frames);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      frames > kMaxRoundTripFrames) {
    return std::nullopt;
  }
  return frames;
}

// The file is the user's to edit: a value we cannot read is said once, so a
// take that lands off is not a mystery, and then left alone.
std::optional<uint32_t> ReadFrames(const std::string& key, const std::string& text) {
  const std::optional<uint32_t> frames = ParseFrames(text);
  if (!frames && std::find(told.begin(), told.end(), key) == told.end()) {
    told.push_back(key);
    platform().ShowMessage("The round trip kept in " + SettingsPath() + " as \"" + key +
                               "\" is not a number of frames up to 44,100, so it is ignored. "
                               "Audio > Measure Latency measures it again.",
                           "Measure Latency");
  }
  return frames;
}

}  // namespace

std::string RoundTripSetting() {
  return std::string(kSingleKey) + "[" + SettingKeyPart(waveIn().PathKey()) + "]";
}

std::optional<uint32_t> MeasuredRoundTrip() {
  const std::string key = RoundTripSetting();
  const std::string text = ReadSetting(key);
  if (!text.empty()) return ReadFrames(key, text);
  // The single value of an earlier version was measured on the path in use
  // then, most likely this one: the first path to look takes it over, and no
  // other path inherits it.
  const std::string single = ReadSetting(kSingleKey);
  if (single.empty()) return std::nullopt;
  const std::optional<uint32_t> frames = ReadFrames(kSingleKey, single);
  if (frames && WriteSetting(key, single) == 1) RemoveSetting(kSingleKey);
  return frames;
}

uint32_t RoundTripFrames() {
  if (const std::optional<uint32_t> measured = MeasuredRoundTrip()) return *measured;
  return std::min(waveIn().RoundTripFrames(), kMaxRoundTripFrames);
}

int SaveRoundTrip(uint32_t frames) {
  if (WriteSetting(RoundTripSetting(), std::to_string(frames)) != 1) return 0;
  // A new measurement replaces whatever the single value stood for.
  RemoveSetting(kSingleKey);
  return 1;
}

void RoundTripReportsForget() {
  told.clear();
}
