#include "codecs/mp3.h"

#include <algorithm>

#include "base/bytes.h"
#include "codecs/wav.h"
#include "codecs_fixture.h"

namespace {

class Mp3Test : public CodecsTest {
 protected:
  void SetUp() override {
    if (!HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    CodecsTest::SetUp();
  }
  // Encodes a WAV file with lame; extra options choose rate and mode.
  std::string Lame(const Bytes& wav, const std::string& name, const std::string& options = "") {
    const std::string path = dir + name;
    WriteFile(dir + "in.wav", wav);
    EXPECT_EQ(RunShell("lame --quiet -b 128 " + options + " '" + dir + "in.wav' '" + path + "'"),
              0);
    return path;
  }
  static int32_t Decode(const std::string& path, DecodeStatus* status = nullptr) {
    return DecodeMp3Lib(path, song.workBuffer.get() + kWavHeaderBytes, TrackRegionBytes, status);
  }
};

constexpr int32_t kFrameBytes = 1152 * 4;  // one MPEG-1 frame of stereo PCM

TEST_F(Mp3Test, AStereoFileKeepsItsDelayedStartAndLoopsAfterIt) {
  const Bytes pcm = Tone(5 * 44100, 44100, {440, 1000});
  const std::string path = Lame(WavFile(2, 44100, 16, pcm), "loop_beat.mp3");
  FillTrack(6, 20 * BytesPerSecond);
  song.armedTrack = 6;

  Import(path);

  EXPECT_TRUE(fakePlatform.messages.empty());
  ASSERT_EQ(tracks[6].loopOn, 1);
  EXPECT_EQ(tracks[6].loopStart, 4232);
  const int32_t length = tracks[6].loopEnd;
  // Whole decoded frames, the encoder's and decoder's delay and padding included.
  EXPECT_EQ(length % kFrameBytes, 0);
  EXPECT_GE(length, 5 * BytesPerSecond);
  EXPECT_LE(length, 5 * BytesPerSecond + 3 * kFrameBytes);
  const Bytes region = Region(6, 0, length);
  int peakBeforeLoop = 0;
  for (int32_t i = 0; i < 4232; i += 2)
    peakBeforeLoop = std::max(peakBeforeLoop, std::abs(LoadI16(&region[i])));
  EXPECT_LT(peakBeforeLoop, 2000) << "the delay before the loop start is near silence";
  const uint8_t* middle = region.data() + BytesPerSecond;
  EXPECT_NEAR(CrossingsPerSecond(middle, 3 * BytesPerSecond, 0), 880, 5);
  EXPECT_NEAR(CrossingsPerSecond(middle, 3 * BytesPerSecond, 1), 2000, 5);
  EXPECT_TRUE(AllZero(Region(6, length, 20 * BytesPerSecond - length)));
}

TEST_F(Mp3Test, AFileLongerThanTheSongFillsTheRegionExactly) {
  const std::string path =
      Lame(WavFile(2, 44100, 16, Bytes(283 * BytesPerSecond, 0)), "long.mp3", "-b 32 -f");
  DecodeStatus status = DecodeStatus::Undecodable;
  EXPECT_EQ(Decode(path, &status), TrackRegionBytes);
  EXPECT_EQ(status, DecodeStatus::Ok);
}

TEST_F(Mp3Test, MonoAnd22kHzFilesAreConvertedToTheTrackFormat) {
  const Bytes tone = Tone(3 * 22050, 22050, {1000});
  const std::string path = Lame(WavFile(1, 22050, 16, tone), "mono.mp3", "-m m --resample 22.05");
  EXPECT_EQ(LoadMp3(tracks[1], path), 1);
  const int64_t length = 4 * BytesPerSecond;
  const Bytes pcm = Region(1, 0, length);
  int64_t frames = 0;
  for (int64_t f = 0; f < length / 4; ++f) {
    if (LoadI16(&pcm[4 * f]) != 0) frames = f + 1;
    ASSERT_EQ(LoadI16(&pcm[4 * f]), LoadI16(&pcm[4 * f + 2])) << "mono goes to both sides";
  }
  // Three seconds, give or take the delay and padding of a few half-size frames.
  EXPECT_GE(frames, 3 * 44100 - 2000);
  EXPECT_LE(frames, 3 * 44100 + 4000);
  EXPECT_NEAR(CrossingsPerSecond(pcm.data() + BytesPerSecond, BytesPerSecond, 0), 2000, 10);
}

TEST_F(Mp3Test, FilesThatGiveNoAudioAreRefusedAndLeaveTheTrack) {
  WriteFile(dir + "garbage.mp3", Pattern(200000));
  WriteFile(dir + "empty.mp3", {});
  // An ID3 tag that claims 200 MB: the audio behind it is never reached.
  const std::string real = Lame(WavFile(2, 44100, 16, Tone(44100, 44100, {500, 500})), "r.mp3");
  Bytes tagged = {'I', 'D', '3', 4, 0, 0, 0x60, 0, 0, 0};
  const Bytes audio = ReadFile(real);
  tagged.insert(tagged.end(), audio.begin(), audio.end());
  WriteFile(dir + "tagged.mp3", tagged);
  struct Case {
    const char* name;
    const char* text;
  } cases[] = {
      {"garbage.mp3", "LoadMp3: no audio could be decoded"},
      {"empty.mp3", "LoadMp3: no audio could be decoded"},
      {"tagged.mp3", "LoadMp3: no audio could be decoded"},
      {"missing.mp3", "LoadMp3: Missing File"},
  };
  const Bytes before = FillTrack(2, 1000);
  for (const Case& c : cases) {
    fakePlatform.Reset();
    EXPECT_EQ(LoadMp3(tracks[2], dir + c.name), 0) << c.name;
    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
    ExpectRefusal(fakePlatform.messages[0], c.text, dir + c.name);
    EXPECT_EQ(Region(2, 0, 1000), before) << c.name;
  }
}

TEST_F(Mp3Test, AFileThatBreaksOffOrCarriesABigTagKeepsItsAudio) {
  const std::string whole =
      Lame(WavFile(2, 44100, 16, Tone(10 * 44100, 44100, {1000, 1000})), "whole.mp3");
  const Bytes bytes = ReadFile(whole);
  WriteFile(dir + "half.mp3", Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
  // A real 1 MB tag in front of the audio.
  Bytes tagged = {'I', 'D', '3', 4, 0, 0, 0, 0x40, 0, 0};
  tagged.resize(tagged.size() + (1 << 20), 0);
  tagged.insert(tagged.end(), bytes.begin(), bytes.end());
  WriteFile(dir + "tagged.mp3", tagged);

  const int32_t full = Decode(whole);
  EXPECT_GE(full, 10 * BytesPerSecond);
  EXPECT_EQ(Decode(dir + "tagged.mp3"), full);
  DecodeStatus status = DecodeStatus::Undecodable;
  const int32_t half = Decode(dir + "half.mp3", &status);
  EXPECT_EQ(status, DecodeStatus::Ok);
  EXPECT_GT(half, 4 * BytesPerSecond);
  EXPECT_LT(half, 6 * BytesPerSecond);
}

TEST_F(Mp3Test, MissingMemoryRefusesTheImport) {
  const std::string path = Lame(WavFile(2, 44100, 16, Tone(4410, 44100, {500, 500})), "a.mp3");
  const Bytes before = FillTrack(1, 1000);
  FailAllocationAfter(0);
  EXPECT_EQ(LoadMp3(tracks[1], path), 0);
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{{"LoadMp3: malloc failed: " + path, "Error"}}));
  EXPECT_EQ(Region(1, 0, 1000), before);
}

TEST(Mp3Decoder, ThereIsNoSystemFilterToRegister) {
  EXPECT_EQ(RegisterMp3Decoder(), 0);
}

}  // namespace
