#include "audio/dropout_report.h"

#include <algorithm>
#include <cstdio>

#include "song/song_state.h"

namespace {

// The places named; the rest are summed up.
constexpr int kPlacesTold = 3;

std::string Place(int64_t timelineByte) {
  const int64_t seconds = timelineByte / BytesPerSecond;
  char text[24];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string Length(int64_t bytes) {
  // Rounded up: a gap of a few frames is still heard.
  const int64_t ms = std::max<int64_t>((bytes * 10 + 1763) / 1764, 1);
  char text[32];
  if (ms < 1000) {
    std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(ms));
  } else {
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000);
  }
  return text;
}

}  // namespace

std::string DropoutReport(int track, const CaptureDropouts& found, int32_t captureStart,
                          int32_t from, int32_t to, int32_t missingTail, bool undoable) {
  int count = 0;
  int64_t bytes = 0;
  int64_t places[kPlacesTold] = {};
  const auto note = [&](int64_t at, int64_t length) {
    if (count < kPlacesTold) places[count] = at;
    ++count;
    bytes += length;
  };
  // Only what lies in the written part is the take's; those beyond the kept
  // ones were all found before the stop and count as its.
  int64_t keptBytes = 0;
  const int kept = std::min(found.count, CaptureDropouts::kKept);
  for (int i = 0; i < kept; ++i) {
    keptBytes += found.kept[i].bytes;
    const int64_t at = captureStart + found.kept[i].at;
    if (at >= from && at < to) note(at, found.kept[i].bytes);
  }
  if (found.count > kept) {
    count += found.count - kept;
    bytes += found.bytes - keptBytes;
  }
  if (missingTail > 0) note(to, missingTail);
  if (count == 0) return {};

  std::string text = "The take on Track " + std::to_string(track) + " has " +
                     std::to_string(count) + (count == 1 ? " dropout (" : " dropouts (") +
                     Length(bytes) + (count == 1 ? ") at " : " in all) at ");
  for (int i = 0; i < std::min(count, kPlacesTold); ++i) {
    if (i > 0) text += ", ";
    text += Place(places[i]);
  }
  if (count > kPlacesTold) text += " and later";
  text += ".";
  if (undoable) text += " Undo brings back what was there.";
  return text;
}
