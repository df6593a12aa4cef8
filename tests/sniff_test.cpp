#include "codecs/sniff.h"

#include <gtest/gtest.h>

#include <string_view>

#include "test_support.h"

namespace {

using namespace std::literals;

Bytes Text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

Bytes Head(const Bytes& b, size_t n) {
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An Ogg page header of one segment whose packet begins with `packet`.
Bytes OggPage(std::string_view packet) {
  Bytes page = Text("OggS");
  page.resize(27, 0);
  page[5] = 2;  // the stream's first page
  page[26] = 1;
  page.push_back(static_cast<uint8_t>(packet.size()));
  return Join(page, Text(packet));
}

// `count` MPEG-1 layer III frames of 128 kbit/s at 44,100 Hz (417 bytes each).
Bytes MpegFrames(int count) {
  Bytes frame(417, 0x55);
  frame[0] = 0xFF;
  frame[1] = 0xFB;
  frame[2] = 0x90;
  frame[3] = 0x64;
  Bytes out;
  for (int i = 0; i < count; ++i) out = Join(out, frame);
  return out;
}

Bytes Id3Tag(uint32_t bodyBytes, uint8_t flags = 0) {
  Bytes tag = {'I', 'D', '3', 4, 0, flags, 0, 0, 0, 0};
  for (int i = 9; i >= 6; --i, bodyBytes >>= 7) tag[i] = bodyBytes & 0x7F;
  return tag;
}

TEST(Sniff, EachKindIsToldByItsSignature) {
  const Bytes wave = RiffWave({{"fmt ", FormatBody(1, 2, 44100, 16)}});
  Bytes rf64 = wave;
  std::copy_n("RF64", 4, rf64.begin());
  Bytes riffNotWave = wave;
  std::copy_n("AVI ", 4, riffNotWave.begin() + 8);
  const struct Case {
    const char* what;
    Bytes bytes;
    SoundKind kind;
  } cases[] = {
      {"WAV", wave, SoundKind::Wav},
      {"RF64", rf64, SoundKind::Wav},
      {"RIFF of another form", riffNotWave, SoundKind::Unknown},
      {"AIFF", Text("FORM\0\0\0\040AIFFCOMM"sv), SoundKind::Aiff},
      {"AIFC", Text("FORM\0\0\0\040AIFC"sv), SoundKind::Aiff},
      {"IFF of another form", Text("FORM\0\0\0\040ILBM"sv), SoundKind::Unknown},
      {"FLAC", Text("fLaC\0\0\0\x22"sv), SoundKind::Flac},
      {"CAF", Text("caff\0\1\0\0desc"sv), SoundKind::Caf},
      {"CAF of an unknown version", Text("caff\0\2\0\0desc"sv), SoundKind::Unknown},
      {"Ogg Vorbis", OggPage("\x01vorbis"), SoundKind::OggVorbis},
      {"Ogg Opus", OggPage("OpusHead"), SoundKind::OggOpus},
      {"Ogg FLAC", OggPage("\177FLAC"), SoundKind::OggFlac},
      {"Ogg Speex", OggPage("Speex   "), SoundKind::Unknown},
      {"MPEG frames", MpegFrames(3), SoundKind::Mp3},
      {"junk, then MPEG frames", Join(Pattern(700, 3), MpegFrames(3)), SoundKind::Mp3},
      {"ID3 tag, then MPEG", Join(Id3Tag(100), Join(Bytes(100), MpegFrames(2))), SoundKind::Mp3},
      {"ID3 tag with footer, then FLAC", Join(Id3Tag(20, 0x10), Join(Bytes(30), Text("fLaC"))),
       SoundKind::Flac},
      {"two ID3 tags, then FLAC", Join(Join(Id3Tag(5), Bytes(5)), Join(Id3Tag(0), Text("fLaC"))),
       SoundKind::Flac},
      {"ID3 tag larger than the bytes", Join(Id3Tag(5'000'000), Bytes(90)), SoundKind::Mp3},
      {"text", Text("Hello, this is not a sound file at all.\n"), SoundKind::Unknown},
      {"empty", {}, SoundKind::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(SniffSound(c.bytes), c.kind) << c.what;
}

TEST(Sniff, MpegFramesCountOnlyInARowAndTagSizesAreSyncsafe) {
  // Away from the start a lone sync pattern, or two frames, are not enough; at the
  // start a file shorter than its first frame still counts.
  const Bytes junk = Pattern(100, 2);
  EXPECT_EQ(SniffSound(Join(junk, Join(MpegFrames(2), Pattern(600, 4)))), SoundKind::Unknown);
  EXPECT_EQ(SniffSound(Head(MpegFrames(1), 200)), SoundKind::Mp3);
  // Reserved values make no header: layer 0, a free bit rate, rate index 3.
  for (const auto& [at, value] : {std::pair{1, 0xF9}, {2, 0x00}, {2, 0x9C}}) {
    Bytes frames = MpegFrames(3);
    for (int f = 0; f < 3; ++f) frames[417 * f + at] = static_cast<uint8_t>(value);
    EXPECT_EQ(SniffSound(frames), SoundKind::Unknown) << at << " " << value;
  }
  EXPECT_EQ(Id3v2TagBytes(Id3Tag(0x0FFFFFFF)), 10u + 0x0FFFFFFF);
  Bytes notSyncsafe = Id3Tag(300);
  notSyncsafe[8] = 0x80;
  EXPECT_EQ(Id3v2TagBytes(notSyncsafe), 0u);
  EXPECT_EQ(Id3v2TagBytes(Head(Id3Tag(1), 9)), 0u);
}

}  // namespace
