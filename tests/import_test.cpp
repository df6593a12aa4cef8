// Import of every kind of sound file, recognised by content: the byte-exact path
// for the tracks' own WAV format, the conversion of everything else through
// libsndfile, and refusals. The files are made by the tools people use (sox,
// flac, opusenc, ffmpeg); a test whose tool is missing says so and skips.
#include <algorithm>
#include <cmath>

#include "codecs/sound_file.h"
#include "codecs_fixture.h"

namespace {

class ImportTest : public CodecsTest {
 protected:
  // Runs `command` with $in and $out set; false (after noting why) when `tool`
  // is not installed.
  bool Make(const char* tool, const std::string& in, const std::string& out,
            const std::string& command) {
    if (!HaveTool(tool)) {
      missing += std::string(tool) + " ";
      return false;
    }
    EXPECT_EQ(RunShell("in='" + in + "' out='" + out + "'; " + command + " >/dev/null 2>&1"), 0)
        << command;
    return true;
  }
  void SkipIfMissing() {
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  }
  // The import command on path into track 1; the audio that landed there.
  Bytes ImportedAudio(const std::string& path, int64_t bytes) {
    fakePlatform.Reset();
    Import(path);
    EXPECT_TRUE(fakePlatform.messages.empty())
        << path << ": " << (fakePlatform.messages.empty() ? "" : fakePlatform.messages[0].text);
    return Region(1, 0, bytes);
  }
  // Peak of one channel of stereo PCM.
  static int Peak(const Bytes& pcm, int channel) {
    int peak = 0;
    for (size_t i = 2 * channel; i + 1 < pcm.size(); i += 4) {
      peak = std::max(peak, std::abs(int{LoadI16(&pcm[i])}));
    }
    return peak;
  }
  // Frames from the start to the last one that is not silent.
  int64_t SoundingFrames(int64_t bytes) {
    const Bytes pcm = Region(1, 0, bytes);
    for (int64_t f = bytes / 4 - 1; f >= 0; --f) {
      if (LoadU32(&pcm[4 * f]) != 0) return f + 1;
    }
    return 0;
  }

  std::string missing;
};

constexpr int kSeconds = 2;
constexpr int64_t kBytes = kSeconds * int64_t{BytesPerSecond};

TEST_F(ImportTest, LosslessSourcesLandByteIdenticalToTheWav) {
  // Noise, so any changed, shifted or swapped sample shows.
  const Bytes pcm = Pattern(kBytes, 7);
  const std::string wav = WriteTrackWav(dir + "source.wav", pcm);
  const struct {
    const char* tool;
    const char* name;
    const char* command;
  } sources[] = {
      {"flac", "take.flac", "flac -s -o \"$out\" \"$in\""},
      // FLAC files named as anything, or nothing.
      {"flac", "take.MP3", "flac -s -o \"$out\" \"$in\""},
      {"flac", "take", "flac -s -o \"$out\" \"$in\""},
      {"sox", "take.aiff", "sox \"$in\" \"$out\""},
      {"ffmpeg", "take.aifc", "ffmpeg -y -i \"$in\" -c:a pcm_s16le -f aiff \"$out\""},
      {"sox", "take24.wav", "sox \"$in\" -b 24 \"$out\""},
      {"sox", "take32.wav", "sox \"$in\" -b 32 \"$out\""},
      {"sox", "float.wav", "sox \"$in\" -e floating-point -b 32 \"$out\""},
      {"sox", "double.wav", "sox \"$in\" -e floating-point -b 64 \"$out\""},
      {"ffmpeg", "rf64.wav", "ffmpeg -y -i \"$in\" -rf64 always \"$out\""},
  };
  for (const auto& s : sources) {
    if (!Make(s.tool, wav, dir + s.name, s.command)) continue;
    FillTrack(1, kBytes + 4000);
    const Bytes got = ImportedAudio(dir + s.name, kBytes + 4000);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), got.begin())) << s.name;
    EXPECT_TRUE(AllZero(Bytes(got.begin() + kBytes, got.end()))) << s.name;
  }
  SkipIfMissing();
}

TEST_F(ImportTest, OtherRatesLayoutsAndEncodingsAreConverted) {
  // A 500 Hz tone left and 1,500 Hz right (the same tone on all channels of
  // layouts that are folded).
  const std::string stereo = dir + "stereo48.wav";
  WriteFile(stereo, WavFile(2, 48000, 16, Tone(kSeconds * 48000, 48000, {500, 1500})));
  const struct {
    const char* tool;
    const char* name;
    const char* command;
    bool sameSides;
  } sources[] = {
      {"sox", "48k.wav", "cp \"$in\" \"$out\"", false},
      {"sox", "22k-8bit.wav", "sox \"$in\" -r 22050 -b 8 \"$out\"", false},
      {"sox", "96k-24bit.wav", "sox \"$in\" -r 96000 -b 24 \"$out\"", false},
      {"sox", "mono.wav", "sox \"$in\" -c 1 \"$out\" remix 1", true},
      {"sox", "six.wav", "sox \"$in\" -c 6 \"$out\" remix 1 1 1 1 1 1", true},
      {"sox", "ima.wav", "sox \"$in\" -e ima-adpcm \"$out\"", false},
      {"sox", "ms.wav", "sox \"$in\" -e ms-adpcm \"$out\"", false},
      {"sox", "ulaw.aifc", "sox \"$in\" -e u-law -t aifc \"$out\"", false},
      {"flac", "48k.flac", "flac -s -o \"$out\" \"$in\"", false},
      {"opusenc", "take.opus", "opusenc --quiet \"$in\" \"$out\"", false},
      {"opusenc", "take.oga", "opusenc --quiet \"$in\" \"$out\"", false},
  };
  for (const auto& s : sources) {
    if (!Make(s.tool, stereo, dir + s.name, s.command)) continue;
    FillTrack(1, kBytes + BytesPerSecond);
    const Bytes got = ImportedAudio(dir + s.name, kBytes);
    // The pitch survives the rate change, so the rate was read and converted.
    const uint8_t* middle = got.data() + BytesPerSecond / 2;
    const double right = s.sameSides ? 1000 : 3000;
    EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 0), 1000, 1000 * 0.03) << s.name;
    EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 1), right, right * 0.03) << s.name;
    EXPECT_NEAR(Peak(got, 0), 12000, 1500) << s.name;
    // Two seconds at the new rate: ADPCM pads its last block, Opus its first.
    EXPECT_NEAR(SoundingFrames(kBytes + BytesPerSecond), kSeconds * 44100, 2000) << s.name;
  }
  SkipIfMissing();
}

TEST_F(ImportTest, LoudFloatingPointAudioClipsInsteadOfWrapping) {
  // A sine at one and a half times full scale.
  const int frames = 44100;
  Bytes data(static_cast<size_t>(frames) * 8);
  for (int f = 0; f < frames; ++f) {
    const float v = 1.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 100 * f / 44100));
    std::memcpy(&data[8 * f], &v, 4);
    std::memcpy(&data[8 * f + 4], &v, 4);
  }
  WriteFile(dir + "loud.wav", RiffWave({{"fmt ", FormatBody(3, 2, 44100, 32)}, {"data", data}}));
  const Bytes got = ImportedAudio(dir + "loud.wav", int64_t{frames} * 4);
  int clipped = 0;
  for (int f = 0; f < frames; ++f) {
    const float want = 1.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 100 * f / 44100));
    const int sample = LoadI16(&got[4 * f]);
    // Never the other sign, as a wrapped sample would be.
    ASSERT_FALSE((want > 0.01f && sample < 0) || (want < -0.01f && sample > 0)) << f;
    if (sample == 32767 || sample == -32768) ++clipped;
  }
  EXPECT_GT(clipped, frames / 3);
}

TEST_F(ImportTest, ConvertedAudioStopsAtTheTracksEndAndLoopsByName) {
  // Five minutes of 8 kHz mono: a small file that converts to more than a track.
  const int rate = 8000;
  WriteFile(dir + "Loop long.wav", WavFile(1, rate, 16, Tone(300 * rate, rate, {200})));
  Import(dir + "Loop long.wav");
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(tracks[1].loopOn, 1);
  EXPECT_EQ(tracks[1].loopStart, 0);
  EXPECT_EQ(tracks[1].loopEnd, TrackRegionBytes);
  EXPECT_NEAR(
      CrossingsPerSecond(Region(1, TrackRegionBytes - BytesPerSecond, BytesPerSecond).data(),
                         BytesPerSecond, 1),
      400, 5);
  EXPECT_TRUE(AllZero(Region(2, 0, 4)));
}

TEST_F(ImportTest, FilesNoReaderCanDecodeAreRefusedNamingTheFile) {
  const std::string wav = WriteTrackWav(dir + "source.wav", Pattern(4000, 2));
  const Bytes flac = [&] {
    if (!Make("flac", wav, dir + "whole.flac", "flac -s -o \"$out\" \"$in\"")) return Bytes{};
    return ReadFile(dir + "whole.flac");
  }();
  struct Case {
    std::string name;
    Bytes bytes;
    std::string why;
  };
  std::vector<Case> cases = {
      {"missing.wav", {}, "ImportFileTo: the file is missing or cannot be read"},
      {"empty.flac", {}, "ImportFileTo: the file is empty"},
      {"text.mp3", Bytes(500, 'a'), "ImportFileTo: not a WAV, AIFF, FLAC, Ogg Vorbis, Opus or MP3"},
      // A WAV of a codec no reader knows, and an AIFF cut inside its header.
      {"codec.wav", RiffWave({{"fmt ", FormatBody(0x1234, 2, 44100, 16)}, {"data", Pattern(400)}}),
       "LoadSoundFile: "},
      {"cut.aiff", Bytes{'F', 'O', 'R', 'M', 0, 0, 1, 0, 'A', 'I', 'F', 'F', 'C', 'O'},
       "LoadSoundFile: "},
  };
  if (!flac.empty()) {
    cases.push_back({"cut.flac", Bytes(flac.begin(), flac.begin() + 20), "LoadSoundFile: "});
  }
  const Bytes before = FillTrack(1, 1000);
  tracks[1].loopOn = 1;
  for (const Case& c : cases) {
    const std::string path = dir + c.name;
    if (c.name != "missing.wav") WriteFile(path, c.bytes);
    fakePlatform.Reset();

    EXPECT_EQ(ImportFileTo(tracks[1], path), 0) << c.name;

    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
    const ShownMessage& m = fakePlatform.messages[0];
    EXPECT_EQ(m.caption, "Error");
    EXPECT_TRUE(m.text.starts_with(c.why)) << m.text;
    ASSERT_TRUE(m.text.ends_with(": " + path)) << m.text;
    const size_t reason = m.text.find(": ") + 2;
    EXPECT_GT(m.text.size() - path.size() - 2, reason) << "no reason given: " << m.text;
    EXPECT_EQ(Region(1, 0, 1000), before) << c.name;
    EXPECT_EQ(tracks[1].loopOn, 1) << c.name;
  }
  SkipIfMissing();
}

TEST_F(ImportTest, DecodingStaysWithinTheOutputGiven) {
  WriteFile(dir + "a.wav", WavFile(2, 48000, 24, Pattern(48000 * 6)));
  Bytes out(10000, 0xEE);
  std::string why;
  const size_t n = DecodeSoundFile(dir + "a.wav", {out.data(), 4003}, &why);
  EXPECT_EQ(why, "");
  EXPECT_EQ(n, 4000u);
  EXPECT_EQ(out[4000], 0xEE);
}

}  // namespace
