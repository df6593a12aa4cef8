// Exports of songs with audio in them: what the file holds is the mixer's own
// output, second for second.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "base/bytes.h"
#include "codecs/export.h"
#include "codecs/ogg.h"
#include "codecs/sound_file.h"
#include "codecs/wav.h"
#include "codecs_fixture.h"
#include "panel/commands.h"
#include "song/song_file.h"

namespace {

class ExportMixTest : public CodecsTest {
 protected:
  void SetUp() override {
    CodecsTest::SetUp();
    ASSERT_EQ(MixerBlocksInit(), 1);
    exportName.clear();
    song.markerInMs = 0;
    song.markerOutMs = SongSeconds * 1000;
    for (int n = 1; n <= TrackCount; ++n) tracks[n].volume = 80;
  }
  void TearDown() override {
    MixerBlocksRelease();
    CodecsTest::TearDown();
  }

  // Seconds [first, first + count) of track n hold value(second) in every sample.
  static void PutSeconds(int n, int first, int count, int16_t (*value)(int)) {
    Bytes region(static_cast<size_t>(first + count) * BytesPerSecond);
    for (int s = first; s < first + count; ++s) {
      const int16_t v = value(s);
      for (int32_t at = s * BytesPerSecond; at < (s + 1) * BytesPerSecond; at += 2) {
        StoreI16(region.data() + at, v);
      }
    }
    ASSERT_EQ(FileWrite(tracks[n], region.data(), first * BytesPerSecond, count * BytesPerSecond),
              count * BytesPerSecond);
  }
  static int16_t SampleAt(const Bytes& wav, int64_t frame, int channel = 0) {
    return LoadI16(wav.data() + kWavHeaderBytes + frame * 4 + channel * 2);
  }
  Bytes ExportTo(const std::string& name) {
    fakePlatform.ScriptDialog(dir + name);
    ExportMix();
    EXPECT_TRUE(fakePlatform.messages.empty());
    return ReadFile(dir + name);
  }
};

TEST_F(ExportMixTest, TenSecondsOfOneTrackThenSilence) {
  PutSeconds(2, 0, 10, [](int) -> int16_t { return 1000; });
  tracks[2].playOn = 1;
  const Bytes wav = ExportTo("ten.wav");
  ASSERT_EQ(wav.size(), 49568444u);
  EXPECT_EQ(LoadU32(wav.data() + 4), 49568436u);
  EXPECT_EQ(SampleAt(wav, 0), 800);  // (1000 × 80 + 50) / 100
  EXPECT_EQ(SampleAt(wav, 10 * 44100 - 1, 1), 800);
  EXPECT_EQ(SampleAt(wav, 10 * 44100), 0);
  EXPECT_EQ(SampleAt(wav, 281LL * 44100 - 1, 1), 0);
}

TEST_F(ExportMixTest, LoopsStartAtTheirStartWhereverPlaybackLeftThem) {
  // A three-second loop whose seconds differ, left in its middle by a playback.
  PutSeconds(1, 0, 3, [](int s) -> int16_t { return static_cast<int16_t>(100 * (s + 1)); });
  tracks[1].playOn = 1;
  tracks[1].volume = 90;
  tracks[1].loopOn = 1;
  tracks[1].loopStart = 0;
  tracks[1].loopEnd = 3 * BytesPerSecond;
  tracks[1].loopPos = BytesPerSecond + 4000;
  const Bytes wav = ExportTo("loop.wav");
  for (int s : {0, 1, 2, 3, 4, 5, 279, 280}) {
    EXPECT_EQ(SampleAt(wav, int64_t{s} * 44100), 90 * (s % 3 + 1)) << "second " << s;
  }
}

TEST_F(ExportMixTest, EveryExportStartsWithAnEmptyRoom) {
  PutSeconds(2, 0, 4,
             [](int s) -> int16_t { return static_cast<int16_t>(3000 * (s % 2 ? 1 : -1)); });
  tracks[2].playOn = 1;
  tracks[2].effectOn = 1;
  const Bytes first = ExportTo("first.wav");
  // A loud tail left in the effect, as a run stopped in the middle would leave it.
  Bytes noise = Pattern(BytesPerSecond, 7);
  EffectBlock(noise.data(), BytesPerSecond / 4);
  EXPECT_EQ(ExportTo("second.wav"), first);
}

TEST_F(ExportMixTest, TheArmedTrackIsSilentBetweenTheMarkers) {
  PutSeconds(3, 0, 8, [](int) -> int16_t { return 2000; });
  song.armedTrack = 3;  // takes part although its speaker is off
  song.markerInMs = 2500;
  song.markerOutMs = 4200;
  const Bytes wav = ExportTo("punch.wav");
  EXPECT_EQ(SampleAt(wav, 0), 1600);
  EXPECT_EQ(SampleAt(wav, 2 * 44100 + 22027), 1600);  // 2,499 ms
  EXPECT_EQ(SampleAt(wav, 2 * 44100 + 22028), 0);     // 2,500 ms
  EXPECT_EQ(SampleAt(wav, 3 * 44100 + 30000, 1), 0);
  EXPECT_EQ(SampleAt(wav, 4 * 44100 + 8842), 0);     // 4,200 ms
  EXPECT_EQ(SampleAt(wav, 4 * 44100 + 8843), 1600);  // 4,201 ms
  EXPECT_EQ(SampleAt(wav, 7 * 44100), 1600);
}

TEST_F(ExportMixTest, AnOggExportStartsWhereTheMixStarts) {
  // Silence, then a loud second from exactly 1 s: the decoded file must not be
  // shifted against the mix by the encoder's delay.
  PutSeconds(4, 1, 1, [](int) -> int16_t { return 20000; });
  tracks[4].playOn = 1;
  const Bytes ogg = ExportTo("mix.ogg");
  Bytes decoded(TrackRegionBytes + kWavHeaderBytes);
  ASSERT_EQ(DecodeOggImage(ogg, decoded), TrackRegionBytes + kWavHeaderBytes);
  EXPECT_EQ(SampleAt(decoded, 0), 0) << "the mix's first frame is silent";
  int64_t onset = -1;
  for (int64_t f = 0; f < 2 * 44100 && onset < 0; ++f) {
    if (std::abs(SampleAt(decoded, f)) > 8000) onset = f;
  }
  EXPECT_NEAR(static_cast<double>(onset), 44100.0, 2.0);
  EXPECT_NEAR(SampleAt(decoded, 44100 + 22050), 16000, 800);
}

TEST_F(ExportMixTest, AFlacExportHoldsTheWavExportsSamplesBitForBit) {
  // Noise, where any changed or shifted sample shows, then silence.
  const Bytes noise = Pattern(5 * BytesPerSecond, 11);
  ASSERT_EQ(FileWrite(tracks[1], noise.data(), 0, 5 * BytesPerSecond), 5 * BytesPerSecond);
  tracks[1].playOn = 1;
  tracks[1].volume = 90;
  const Bytes wav = ExportTo("mix.wav");
  const Bytes flac = ExportTo("MIX.FLAC");
  ASSERT_GT(flac.size(), 4u);
  EXPECT_EQ(std::string(flac.begin(), flac.begin() + 4), "fLaC");

  Bytes decoded(TrackRegionBytes + 4);
  std::string why;
  decoded.resize(DecodeSoundFile(dir + "MIX.FLAC", decoded, &why));
  EXPECT_EQ(why, "");
  ASSERT_EQ(decoded.size(), size_t{TrackRegionBytes});
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), wav.begin() + kWavHeaderBytes));
  if (HaveTool("flac")) {
    EXPECT_EQ(RunShell("flac -s -t '" + dir + "MIX.FLAC'"), 0) << "its checksum holds";
  }
}

TEST_F(ExportMixTest, AnMp3ExportPlaysAsLongAsTheMixAtItsLevel) {
  if (!HaveTool("mpg123")) GTEST_SKIP() << "mpg123 is not installed";
  // Ten seconds of 1 kHz from 0:00 (the encoder's delay shows at once), then silence.
  const Bytes tone = Tone(10 * 44100, 44100, {1000, 1000}, 10000);
  ASSERT_EQ(FileWrite(tracks[1], tone.data(), 0, 10 * BytesPerSecond), 10 * BytesPerSecond);
  tracks[1].playOn = 1;
  ExportTo("mix.mp3");
  const Bytes mix(song.workBuffer.get() + kWavHeaderBytes,
                  song.workBuffer.get() + kWavHeaderBytes + 10 * BytesPerSecond);

  // mpg123 trims what the LAME tag says the encoder added.
  const std::string decodedPath = dir + "decoded.wav";
  ASSERT_EQ(RunShell("mpg123 -q -w '" + decodedPath + "' '" + dir + "mix.mp3'"), 0);
  const Bytes decoded = ReadFile(decodedPath);
  ASSERT_EQ(decoded.size(), size_t{kWavHeaderBytes} + TrackRegionBytes);
  for (int channel : {0, 1}) {
    EXPECT_NEAR(LevelDb(decoded.data() + kWavHeaderBytes, 10 * BytesPerSecond, channel),
                LevelDb(mix.data(), mix.size(), channel), 1);
  }
  // In step with the mix: the tone starts and ends where it does there, not
  // the encoder's delay (over a thousand frames) later.
  auto loud = [&](int64_t f) { return std::abs(SampleAt(decoded, f)) > 2000; };
  int64_t first = 0;
  while (first < 44100 && !loud(first)) ++first;
  int64_t last = 11 * 44100;
  while (last > 0 && !loud(last)) --last;
  EXPECT_LE(first, 8);
  EXPECT_NEAR(static_cast<double>(last), 10 * 44100, 8);
  EXPECT_TRUE(AllZero(Bytes(decoded.end() - BytesPerSecond, decoded.end())));
}

// The encoder reads the mix while it is being rendered: the files must be those
// written from the mix rendered first, whatever part of it is exported.
TEST_F(ExportMixTest, EncodingWhileMixingWritesWhatEncodingTheRenderedMixWrites) {
  // Sound, a silent gap the trimmed export must keep, sound that ends inside a
  // second, then silence to the end.
  Bytes sound = Pattern(7 * BytesPerSecond + 4000, 5);
  std::fill(sound.begin() + 3 * BytesPerSecond, sound.begin() + 6 * BytesPerSecond, 0);
  const auto length = static_cast<int32_t>(sound.size());
  ASSERT_EQ(FileWrite(tracks[1], sound.data(), 0, length), length);
  tracks[1].playOn = 1;
  song.markerInMs = 1500;
  song.markerOutMs = 9000;
  const int32_t in = MsToByteOffset(song.markerInMs);
  const int32_t out = MsToByteOffset(song.markerOutMs);
  std::filesystem::create_directories(dir + "plain");
  std::filesystem::create_directories(dir + "overlapped");
  struct Case {
    std::string name;
    ExportSpan span;
  };
  const Case cases[] = {{"whole.flac", ExportSpan::Whole},
                        {"trimmed.flac", ExportSpan::TrimmedEnd},
                        {"marked.flac", ExportSpan::BetweenMarkers},
                        {"marked.mp3", ExportSpan::BetweenMarkers},
                        {"trimmed.ogg", ExportSpan::TrimmedEnd}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(ExportMixTo(dir + "overlapped/" + c.name, c.span), 1);
    RenderMix();
    uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
    uint32_t sounding = TrackRegionBytes;
    while (sounding > 0 && LoadU32(mix + sounding - 4) == 0) sounding -= 4;
    ASSERT_GT(sounding, 7u * BytesPerSecond);
    const uint32_t n = c.span == ExportSpan::Whole        ? TrackRegionBytes
                       : c.span == ExportSpan::TrimmedEnd ? sounding
                                                          : static_cast<uint32_t>(out - in);
    const uint32_t first = c.span == ExportSpan::BetweenMarkers ? in : 0;
    const std::string plain = dir + "plain/" + c.name;
    ASSERT_EQ(WriteAudioFile(ExportFormatOf(c.name), plain, mix + first, n), 1);
    const Bytes expected = ReadFile(plain);
    const Bytes made = ReadFile(dir + "overlapped/" + c.name);
    if (c.name.ends_with(".ogg")) {
      // Each Ogg stream has a serial number of its own: compare the sound.
      Bytes a(TrackRegionBytes), b(TrackRegionBytes);
      a.resize(static_cast<size_t>(DecodeOggImage(expected, a)));
      b.resize(static_cast<size_t>(DecodeOggImage(made, b)));
      EXPECT_EQ(a, b);
    } else {
      EXPECT_EQ(made, expected);
    }
  }
  EXPECT_TRUE(fakePlatform.messages.empty());
}

// The encoder fails while the mix goes on beside it: the export ends, says why
// once and leaves no file (how soon the mix hears of it is the threads' affair).
TEST_F(ExportMixTest, AnEncoderThatFailsEndsTheExportAndLeavesNoFile) {
  FailAllocationAfter(1);  // the room's, made before the encoder starts, then the encoder's
  EXPECT_EQ(ExportMixTo(dir + "mix.flac"), 0);
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{{"WriteFlacFile: malloc failed", "Error"}}));
  EXPECT_FALSE(std::filesystem::exists(dir + "mix.flac"));
}

}  // namespace
