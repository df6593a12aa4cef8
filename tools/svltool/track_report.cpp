#include "tools/svltool/track_report.h"

#include <algorithm>
#include <cstdio>

namespace {

bool Printable(unsigned char c) {
  return c >= 32 && c <= 126;
}

// Names hold printable ASCII only by now, so quotes and backslashes are all
// that JSON asks to escape.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

bool IsPanelName(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return Printable(static_cast<unsigned char>(c)); });
}

void PrintTracks(bool json) {
  if (json) {
    std::printf("{\"tracks\":[");
    for (int n = 1; n <= TrackCount; ++n) {
      const Track& t = tracks[n];
      std::printf(
          "%s{\"track\":%d,\"play\":%d,\"volume\":%d,\"effect\":%d,\"loop\":%d,"
          "\"loopStart\":%d,\"loopEnd\":%d,\"name\":%s}",
          n == 1 ? "" : ",", n, t.playOn, t.volume, t.effectOn, t.loopOn, t.loopStart, t.loopEnd,
          JsonString(ShownName(t)).c_str());
    }
    std::printf("]}\n");
    return;
  }
  std::printf("track  play  volume  effect  loop  loopStart   loopEnd  name\n");
  for (int n = 1; n <= TrackCount; ++n) {
    const Track& t = tracks[n];
    std::printf("%5d  %4d  %6d  %6d  %4d  %9d  %8d  %s\n", n, t.playOn, t.volume, t.effectOn,
                t.loopOn, t.loopStart, t.loopEnd, ShownName(t).c_str());
  }
}
