// The end-to-end test's audio arithmetic: known signals in, the expected mix out,
// byte ranges compared, a song file's settings read back. Small on purpose: it
// shares no code with the program but the byte-order helper (tested on its own),
// so a fault there cannot hide itself here. It also tells the scripts where to
// click, from the panel's table of places.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "ui/geometry.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kHeaderBytes = 8000;
constexpr int kTracks = 8;
constexpr int kRecordBytes = 33;
constexpr int kNameLength = 21;

int Usage() {
  std::fputs(
      "usage: e2e_audio signal SEED SECONDS OUT\n"
      "       e2e_audio mix OUT BYTES FILE:FROM:TO:LENGTH:VOLUME...\n"
      "       e2e_audio same A OFFSET_A B|zero OFFSET_B LENGTH\n"
      "       e2e_audio find A OFFSET_A LENGTH B\n"
      "       e2e_audio first-sound|first-silence FILE [FROM]\n"
      "       e2e_audio header SONG\n"
      "       e2e_audio places\n",
      stderr);
  return 2;
}

bool ReadFile(const std::string& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "e2e_audio: cannot read %s\n", path.c_str());
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "e2e_audio: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

bool Number(const char* text, int64_t& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

int16_t Sample(const Bytes& b, int64_t at) {
  if (at < 0 || at + 1 >= static_cast<int64_t>(b.size())) return 0;
  return LoadI16(b.data() + at);
}

void PutSample(Bytes& b, int64_t at, int32_t v) {
  StoreI16(b.data() + at, static_cast<int16_t>(v));
}

// Noise that never comes near zero: scaled by any volume the test uses it stays
// audible, so the first non-zero frame of a recording is where the sound began,
// and no two seconds look alike, so an offset by whole seconds shows.
int Signal(int64_t seed, int64_t seconds, const std::string& out) {
  if (seconds <= 0) return Usage();
  Bytes bytes(static_cast<size_t>(seconds * 176400));
  auto state = static_cast<uint32_t>(seed) * 2654435761u + 1;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    state = state * 1664525u + 1013904223u;
    const auto magnitude = static_cast<int32_t>(1000 + (state >> 8) % 29001);
    PutSample(bytes, static_cast<int64_t>(i), (state & 0x80000000u) != 0 ? -magnitude : magnitude);
  }
  return WriteFile(out, bytes) ? 0 : 1;
}

// Adds tracks the way the mixer does: each sample scaled with the rounding of
// integer division, the sum limited after every addition.
int Mix(const std::string& out, int64_t length, char** parts, int count) {
  if (length < 0 || length % 4 != 0) return Usage();
  Bytes mix(static_cast<size_t>(length));
  for (int k = 0; k < count; ++k) {
    std::string part = parts[k];
    int64_t field[4];
    for (int f = 3; f >= 0; --f) {
      const size_t colon = part.rfind(':');
      if (colon == std::string::npos || !Number(part.c_str() + colon + 1, field[f])) return Usage();
      part.resize(colon);
    }
    const auto [from, to, count64, volume] = field;
    Bytes source;
    if (!ReadFile(part, source)) return 1;
    for (int64_t i = 0; i + 1 < count64; i += 2) {
      if (to + i + 1 >= length) break;
      const int32_t added = (Sample(source, from + i) * static_cast<int32_t>(volume) + 50) / 100;
      PutSample(mix, to + i, std::clamp(Sample(mix, to + i) + added, -32768, 32767));
    }
  }
  return WriteFile(out, mix) ? 0 : 1;
}

// Compares two byte ranges, bytes past a file's end reading as zero (as they do
// in a song file); tells where they first differ.
int Same(const std::string& a, int64_t offsetA, const std::string& b, int64_t offsetB,
         int64_t length) {
  Bytes first;
  Bytes second;
  if (!ReadFile(a, first)) return 1;
  if (b != "zero" && !ReadFile(b, second)) return 1;
  auto at = [](const Bytes& bytes, int64_t i) -> int {
    return i >= 0 && i < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(i)] : 0;
  };
  for (int64_t i = 0; i < length; ++i) {
    if (at(first, offsetA + i) == at(second, offsetB + i)) continue;
    const int64_t frame = i & ~int64_t{3};
    std::fprintf(stderr, "differ at byte %lld of %lld: %s[%lld] = (%d, %d), %s[%lld] = (%d, %d)\n",
                 static_cast<long long>(i), static_cast<long long>(length), a.c_str(),
                 static_cast<long long>(offsetA + frame), Sample(first, offsetA + frame),
                 Sample(first, offsetA + frame + 2), b.c_str(),
                 static_cast<long long>(offsetB + frame), Sample(second, offsetB + frame),
                 Sample(second, offsetB + frame + 2));
    return 1;
  }
  return 0;
}

// Prints where in B the LENGTH bytes of A at OFFSET_A first occur, on a frame
// boundary; -1 when nowhere.
int Find(const std::string& a, int64_t offsetA, int64_t length, const std::string& b) {
  Bytes first;
  Bytes second;
  if (!ReadFile(a, first) || !ReadFile(b, second)) return 1;
  int64_t found = -1;
  if (offsetA >= 0 && length > 0 && offsetA + length <= static_cast<int64_t>(first.size())) {
    const auto from = first.begin() + offsetA;
    for (auto at = second.begin();; at += 4) {
      at = std::search(at, second.end(), from, from + length);
      if (at == second.end() || (at - second.begin()) % 4 == 0) {
        if (at != second.end()) found = at - second.begin();
        break;
      }
      at -= (at - second.begin()) % 4;
    }
  }
  std::printf("%lld\n", static_cast<long long>(found));
  return 0;
}

// Prints the offset of the first frame at or after FROM that is (or is not)
// silent, -1 when there is none.
int FirstFrame(const std::string& path, int64_t from, bool sound) {
  Bytes bytes;
  if (!ReadFile(path, bytes)) return 1;
  int64_t found = -1;
  for (int64_t i = std::max<int64_t>(from, 0) & ~int64_t{3};
       i + 3 < static_cast<int64_t>(bytes.size()); i += 4) {
    if ((Sample(bytes, i) != 0 || Sample(bytes, i + 2) != 0) == sound) {
      found = i;
      break;
    }
  }
  std::printf("%lld\n", static_cast<long long>(found));
  return 0;
}

// One line per track: "N on VOLUME effect 'NAME'", unprintable name bytes as '?'.
int Header(const std::string& path) {
  Bytes bytes;
  if (!ReadFile(path, bytes)) return 1;
  bytes.resize(std::max<size_t>(bytes.size(), kHeaderBytes));
  std::printf("version %d\n", bytes[0]);
  for (int t = 1; t <= kTracks; ++t) {
    const uint8_t* r = bytes.data() + 1 + (t - 1) * kRecordBytes;
    std::string name;
    for (int i = 0; i < kNameLength; ++i) {
      name += r[2 + i] >= 32 && r[2 + i] <= 126 ? static_cast<char>(r[2 + i]) : '?';
    }
    std::printf("%d %d %d %d '%s'\n", t, r[0], static_cast<int8_t>(r[1]), r[23], name.c_str());
  }
  return 0;
}

// Shell assignments of the panel places the scripts press, in panel pixels: the
// middle of a control, or the line through the middle of a row of them.
int Places() {
  using namespace geometry;
  const auto mid = [](int a, int b) { return (a + b) / 2; };
  const auto value = [](const char* name, int v) { std::printf("%s=%d\n", name, v); };
  const auto pair = [](const char* name, int a, int b) { std::printf("%s=(%d %d)\n", name, a, b); };
  pair("PANEL", kPanel.Width(), kPanel.Height());
  const std::pair<const char*, Rect> buttons[] = {
      {"NEW", kNew},       {"OPEN", kOpen}, {"SAVE", kSave}, {"IMPORT", kImport},
      {"EXPORT", kExport}, {"PLAY", kPlay}, {"STOP", kStop}, {"PAUSE", kPause}};
  for (const auto& [name, r] : buttons) pair(name, mid(r.left, r.right), mid(r.top, r.bottom));
  value("SPEAKER_X", mid(Speaker(1).left, Speaker(1).right));
  value("ARM_X", mid(Arm(1).left, Arm(1).right));
  value("EFFECT_X", mid(Effect(1).left, Effect(1).right));
  value("NAME_X", NameField(1).left);
  value("VOLUME_X", Volume(1).left);
  // Indexed by track; STRIPS is the top and the height of all of them.
  std::printf("STRIP_Y=(0");
  for (int t = 1; t <= kTracks; ++t) std::printf(" %d", StripY(t) + kStripHeight / 2);
  std::printf(")\n");
  pair("STRIPS", StripY(1), kTracks * kStripHeight);
  // Second s of the position bar, and of a marker, is at POSITION_X + s.
  value("POSITION_X", kPositionOriginX);
  value("POSITION_Y", mid(kPositionBar.top, kPositionBar.bottom));
  value("MARKER_Y", mid(MarkerHandle(0).top, MarkerHandle(0).bottom));
  value("MARKER_MAX", kMarkerMaxPx);
  // The progress bar's left, middle row and width.
  std::printf("PROGRESS=(%d %d %d)\n", kProgressWell.left,
              mid(kProgressWell.top, kProgressWell.bottom), kProgressWell.Width());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "places") return Places();
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  int64_t n[3];
  if (command == "signal" && argc == 5 && Number(argv[2], n[0]) && Number(argv[3], n[1])) {
    return Signal(n[0], n[1], argv[4]);
  }
  if (command == "mix" && argc >= 4 && Number(argv[3], n[0])) {
    return Mix(argv[2], n[0], argv + 4, argc - 4);
  }
  if (command == "same" && argc == 7 && Number(argv[3], n[0]) && Number(argv[5], n[1]) &&
      Number(argv[6], n[2])) {
    return Same(argv[2], n[0], argv[4], n[1], n[2]);
  }
  if (command == "find" && argc == 6 && Number(argv[3], n[0]) && Number(argv[4], n[1])) {
    return Find(argv[2], n[0], n[1], argv[5]);
  }
  if ((command == "first-sound" || command == "first-silence") &&
      (argc == 3 || (argc == 4 && Number(argv[3], n[0])))) {
    return FirstFrame(argv[2], argc == 4 ? n[0] : 0, command == "first-sound");
  }
  if (command == "header" && argc == 3) return Header(argv[2]);
  return Usage();
}
