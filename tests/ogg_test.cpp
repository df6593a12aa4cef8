#include "codecs/ogg.h"

#include <algorithm>

#include "base/bytes.h"
#include "codecs/wav.h"
#include "codecs_fixture.h"

namespace {

class OggTest : public CodecsTest {
 protected:
  // Encodes 44,100 Hz stereo PCM as an Ogg Vorbis file with our own encoder.
  static Bytes Encode(const Bytes& pcm) {
    Bytes image(kWavHeaderBytes + pcm.size());
    BuildWavHeader(image.data(), static_cast<uint32_t>(pcm.size()));
    std::copy(pcm.begin(), pcm.end(), image.begin() + kWavHeaderBytes);
    Bytes out(kOggOutputBytes);
    bool overflow = true;
    out.resize(static_cast<size_t>(EncodeWavImage(image, out, &overflow)));
    EXPECT_FALSE(overflow);
    return out;
  }
  // Decodes an Ogg file image; returns the PCM, with the decoder's status.
  static Bytes Decode(const Bytes& ogg, DecodeStatus* status = nullptr) {
    Bytes out(TrackRegionBytes);
    const int32_t r = DecodeOggImage(ogg, out, status);
    EXPECT_GE(r, kWavHeaderBytes);
    const uint32_t dataBytes = LoadU32(out.data() + 40);
    EXPECT_EQ(dataBytes, static_cast<uint32_t>(r - kWavHeaderBytes));
    return Bytes(out.begin() + kWavHeaderBytes, out.begin() + r);
  }
  // Encodes a WAV file of any shape with oggenc; false when it is not installed.
  bool OggEnc(const Bytes& wav, const std::string& ogg) {
    if (!HaveTool("oggenc")) return false;
    WriteFile(dir + "in.wav", wav);
    EXPECT_EQ(RunShell("oggenc -Q -o '" + ogg + "' '" + dir + "in.wav'"), 0);
    return true;
  }
  static bool Contains(const Bytes& haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
  }
};

TEST_F(OggTest, AnEncodedToneDecodesToItsLengthAndSound) {
  const Bytes pcm = Tone(60 * 44100, 44100, {440, 1000});
  const Bytes ogg = Encode(pcm);
  ASSERT_GT(ogg.size(), 4u);
  EXPECT_EQ(std::string(ogg.begin(), ogg.begin() + 4), "OggS");
  EXPECT_TRUE(Contains(ogg, "ENCODER=encoder_example.c"));
  EXPECT_LT(ogg.size(), pcm.size() / 5) << "variable bit rate should compress a tone well";
  EXPECT_EQ(Decode(ogg).size(), 10584000u) << "exactly the 60 seconds encoded";
  WriteFile(dir + "tone.ogg", ogg);
  FillTrack(4, 20 * 1000 * 1000);
  song.armedTrack = 4;

  Import(dir + "tone.ogg");

  EXPECT_TRUE(fakePlatform.messages.empty());
  const Bytes region = Region(4, 0, 10584000);
  EXPECT_TRUE(AllZero(Region(4, 10584000, TrackRegionBytes - 10584000)));
  EXPECT_EQ(tracks[4].loopOn, 0);
  // Lossy, but the same tone on the same side: compare the power of the error.
  double signal = 0;
  double noise = 0;
  for (size_t i = 0; i < pcm.size(); i += 2) {
    const double a = LoadI16(&pcm[i]);
    const double b = LoadI16(&region[i]);
    signal += a * a;
    noise += (a - b) * (a - b);
  }
  EXPECT_GT(10 * std::log10(signal / noise), 20.0);
  EXPECT_NEAR(CrossingsPerSecond(region.data(), region.size(), 0), 880, 5);
  EXPECT_NEAR(CrossingsPerSecond(region.data(), region.size(), 1), 2000, 5);
}

TEST_F(OggTest, AFileLongerThanTheSongKeepsWhatFitsBehindTheHeader) {
  const Bytes ogg = Encode(Bytes(283 * BytesPerSecond, 0));
  Bytes out(TrackRegionBytes);
  DecodeStatus status = DecodeStatus::Undecodable;
  EXPECT_EQ(DecodeOggImage(ogg, out, &status), TrackRegionBytes);
  EXPECT_EQ(status, DecodeStatus::Ok);
  WriteFile(dir + "long.ogg", ogg);
  FillTrack(1, 100);
  EXPECT_EQ(LoadOgg(tracks[1], dir + "long.ogg"), 1);
  EXPECT_TRUE(AllZero(Region(1, 0, 100)));
}

TEST_F(OggTest, AChainedFileDecodesStreamAfterStream) {
  const Bytes first = Tone(44100, 44100, {500, 500});
  const Bytes second = Tone(2 * 44100, 44100, {2000, 2000});
  Bytes ogg = Encode(first);
  const Bytes more = Encode(second);
  ogg.insert(ogg.end(), more.begin(), more.end());

  DecodeStatus status = DecodeStatus::Undecodable;
  const Bytes pcm = Decode(ogg, &status);

  EXPECT_EQ(status, DecodeStatus::Ok);
  ASSERT_EQ(pcm.size(), first.size() + second.size());
  EXPECT_NEAR(CrossingsPerSecond(pcm.data(), first.size(), 0), 1000, 5);
  EXPECT_NEAR(CrossingsPerSecond(pcm.data() + first.size(), second.size(), 0), 4000, 5);
}

TEST_F(OggTest, MonoAnd48kHzStreamsAreConvertedToTheTrackFormat) {
  const std::string ogg = dir + "mono48.ogg";
  if (!OggEnc(WavFile(1, 48000, 16, Tone(2 * 48000, 48000, {1000})), ogg)) {
    GTEST_SKIP() << "oggenc is not installed";
  }
  EXPECT_EQ(LoadOgg(tracks[1], ogg), 1);
  const Bytes pcm = Region(1, 0, 3 * BytesPerSecond);
  int64_t frames = 0;  // up to the last sound: the rest is the cleared tail
  for (int64_t f = 0; f < 3 * 44100; ++f) {
    if (LoadI16(&pcm[4 * f]) != 0) frames = f + 1;
    ASSERT_EQ(LoadI16(&pcm[4 * f]), LoadI16(&pcm[4 * f + 2])) << "mono goes to both sides";
  }
  EXPECT_NEAR(frames, 2 * 44100, 64);
  EXPECT_NEAR(CrossingsPerSecond(pcm.data(), 2 * BytesPerSecond, 0), 2000, 10);
}

TEST_F(OggTest, WiderLayoutsAreFoldedToTheirSides) {
  if (!HaveTool("oggenc")) GTEST_SKIP() << "oggenc is not installed";
  // Six channels in Vorbis order: front left, centre, front right, rear left,
  // rear right, LFE. Only the front left one sounds.
  const Bytes left = Tone(44100, 44100, {1000});
  Bytes raw(44100 * 12, 0);
  for (size_t f = 0; f < 44100; ++f) {
    raw[12 * f] = left[2 * f];
    raw[12 * f + 1] = left[2 * f + 1];
  }
  WriteFile(dir + "six.raw", raw);
  ASSERT_EQ(
      RunShell("oggenc -Q -r -B 16 -C 6 -R 44100 -o '" + dir + "six.ogg' '" + dir + "six.raw'"), 0);
  const Bytes pcm = Decode(ReadFile(dir + "six.ogg"));
  ASSERT_EQ(pcm.size(), size_t{BytesPerSecond});
  double leftPower = 0;
  double rightPower = 0;
  for (size_t f = 0; f < pcm.size() / 4; ++f) {
    leftPower += std::pow(LoadI16(&pcm[4 * f]), 2);
    rightPower += std::pow(LoadI16(&pcm[4 * f + 2]), 2);
  }
  EXPECT_GT(leftPower, 100 * rightPower);
}

TEST_F(OggTest, TheCodersSayWhatTheyFindOnlyWhenAskedTo) {
  const Bytes ogg = Encode(Tone(4410, 44100, {440, 440}));
  for (const char* debug : {"", "0", "1"}) {
    ScopedEnv env("SONAVEL_DEBUG", debug);
    testing::internal::CaptureStderr();
    Decode(ogg);
    const std::string said = testing::internal::GetCapturedStderr();
    if (debug == std::string("1")) {
      EXPECT_NE(said.find("Bitstream is 2 channel, 44100Hz"), std::string::npos) << said;
      EXPECT_TRUE(said.ends_with("Done.\n")) << said;
    } else {
      EXPECT_EQ(said, "") << debug;
    }
  }
}

TEST_F(OggTest, FilesThatGiveNoAudioAreRefusedAndLeaveTheTrack) {
  WriteFile(dir + "garbage.ogg", Pattern(100000));
  WriteFile(dir + "empty.ogg", {});
  Bytes notVorbis = Encode(Tone(44100, 44100, {500, 500}));
  std::copy_n("xorbis", 6, notVorbis.begin() + 29);  // the identification packet's name
  WriteFile(dir + "other.ogg", notVorbis);
  struct Case {
    const char* name;
    const char* text;
  } cases[] = {
      {"garbage.ogg", "LoadOgg: no audio could be decoded"},
      {"empty.ogg", "LoadOgg: no audio could be decoded"},
      {"other.ogg", "LoadOgg: no audio could be decoded"},
      {"missing.ogg", "LoadOgg: Missing File"},
  };
  const Bytes before = FillTrack(2, 1000);
  for (const Case& c : cases) {
    fakePlatform.Reset();
    tracks[2].loopOn = 1;
    EXPECT_EQ(LoadOgg(tracks[2], dir + c.name), 0) << c.name;
    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
    ExpectRefusal(fakePlatform.messages[0], c.text, dir + c.name);
    EXPECT_EQ(tracks[2].loopOn, 1);
    EXPECT_EQ(Region(2, 0, 1000), before) << c.name;
  }
}

TEST_F(OggTest, AFileThatBreaksOffKeepsWhatWasDecoded) {
  const Bytes whole = Encode(Tone(10 * 44100, 44100, {1000, 1000}));
  Bytes truncated(whole.begin(), whole.begin() + whole.size() / 2);
  Bytes damaged = whole;  // a run of bytes in the middle destroyed
  std::fill(damaged.begin() + whole.size() / 3, damaged.begin() + whole.size() / 3 + 3000, 0);
  Bytes trailing = whole;
  const Bytes junk = Pattern(20000);
  trailing.insert(trailing.end(), junk.begin(), junk.end());

  for (const Bytes* file : {&truncated, &damaged, &trailing}) {
    DecodeStatus status = DecodeStatus::Undecodable;
    const Bytes pcm = Decode(*file, &status);
    EXPECT_EQ(status, DecodeStatus::Ok);
    EXPECT_GT(pcm.size(), size_t{3 * BytesPerSecond});
    EXPECT_LE(pcm.size(), size_t{10 * BytesPerSecond});
  }
  EXPECT_EQ(Decode(trailing).size(), size_t{10 * BytesPerSecond});
}

TEST_F(OggTest, AWellFormedFileWithoutAudioEmptiesTheTrack) {
  const Bytes ogg = Encode({});
  WriteFile(dir + "loop_nothing.ogg", ogg);
  FillTrack(3, 1000);
  EXPECT_EQ(LoadOgg(tracks[3], dir + "loop_nothing.ogg"), 1);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_TRUE(AllZero(Region(3, 0, 1000)));
  EXPECT_EQ(tracks[3].loopOn, 1);
  EXPECT_EQ(tracks[3].loopEnd, 0);
}

TEST_F(OggTest, MissingMemoryIsReportedAndChangesNothing) {
  WriteFile(dir + "a.ogg", Encode(Tone(4410, 44100, {500, 500})));
  const Bytes before = FillTrack(1, 1000);
  FailAllocationAfter(0);
  EXPECT_EQ(LoadOgg(tracks[1], dir + "a.ogg"), 0);
  EXPECT_EQ(Region(1, 0, 1000), before);

  FailAllocationAfter(0);
  EXPECT_EQ(ExportSave(dir + "b.ogg", song.workBuffer.get() + kWavHeaderBytes, BytesPerSecond), 0);
  EXPECT_FALSE(std::filesystem::exists(dir + "b.ogg"));
  const std::vector<ShownMessage> expected = {{"LoadOgg: malloc failed: " + dir + "a.ogg", "Error"},
                                              {"ExportSave: malloc failed", "Error"}};
  EXPECT_EQ(fakePlatform.messages, expected);
}

TEST_F(OggTest, EncodedOutputThatDoesNotFitIsFlagged) {
  Bytes image(kWavHeaderBytes + BytesPerSecond);
  BuildWavHeader(image.data(), BytesPerSecond);
  Bytes out(1000);
  bool overflow = false;
  EXPECT_EQ(EncodeWavImage(image, out, &overflow), 1000);
  EXPECT_TRUE(overflow);
}

TEST_F(OggTest, AnExportThatCannotBeWrittenIsReported) {
  uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
  std::memset(mix, 0, BytesPerSecond);
  EXPECT_EQ(ExportSave(dir + "no/such/dir.ogg", mix, BytesPerSecond), 0);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  ExpectFailureText(fakePlatform.messages[0].text, "ExportSave - failed", dir + "no/such/dir.ogg",
                    "No such file or directory");
}

}  // namespace
