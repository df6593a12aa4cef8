// Import of every kind of sound file, told by content: the tracks' own WAV format
// copied, everything else converted through libsndfile or FFmpeg, the rest
// refused. The files are made by the tools people use; a missing tool is said,
// and skipped.
#include <cmath>
#include <functional>
#include <initializer_list>

#include "codecs_fixture.h"

namespace {

struct Source {
  const char* tool;
  const char* name;     // as a user might have it named
  const char* command;  // makes $out from $in
};

constexpr int64_t kBytes = 2 * int64_t{BytesPerSecond};

class ImportTest : public CodecsTest {
 protected:
  // Makes each source from `in`, imports it into track 1 as the command does and
  // hands `check` what landed there: kBytes and a second more.
  void ImportEach(const std::string& in, std::initializer_list<Source> sources,
                  const std::function<void(const Source&, const Bytes&)>& check) {
    std::string missing;
    for (const Source& s : sources) {
      if (!HaveTool(s.tool)) {
        missing += std::string(s.tool) + " ";
        continue;
      }
      const std::string out = dir + s.name;
      ASSERT_EQ(RunShell("in='" + in + "' out='" + out + "'; " + s.command + " >/dev/null 2>&1"), 0)
          << s.command;
      FillTrack(1, kBytes + BytesPerSecond);
      fakePlatform.Reset();
      Import(out);
      EXPECT_TRUE(fakePlatform.messages.empty()) << s.name;
      check(s, Region(1, 0, kBytes + BytesPerSecond));
    }
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  }
};

TEST_F(ImportTest, LosslessSourcesLandByteIdenticalToTheWav) {
  // Noise, so any changed, shifted or swapped sample shows.
  const Bytes pcm = Pattern(kBytes, 7);
  ImportEach(WriteTrackWav(dir + "source.wav", pcm),
             {
                 {"flac", "take.flac", "flac -s -o \"$out\" \"$in\""},
                 {"flac", "take.MP3", "flac -s -o \"$out\" \"$in\""},  // misnamed
                 {"sox", "take.aiff", "sox \"$in\" \"$out\""},
                 {"ffmpeg", "take.aifc", "ffmpeg -y -i \"$in\" -c:a pcm_s16le -f aiff \"$out\""},
                 {"sox", "take24.wav", "sox \"$in\" -b 24 \"$out\""},
                 {"sox", "float.wav", "sox \"$in\" -e floating-point -b 64 \"$out\""},
                 {"ffmpeg", "rf64.wav", "ffmpeg -y -i \"$in\" -rf64 always \"$out\""},
                 {"ffmpeg", "take.caf", "ffmpeg -y -i \"$in\" -c:a pcm_s16be \"$out\""},
                 // libsndfile takes no ALAC of FFmpeg's making: FFmpeg reads it.
                 {"ffmpeg", "memo.caf", "ffmpeg -y -i \"$in\" -c:a alac \"$out\""},
                 {"ffmpeg", "lossless.m4a", "ffmpeg -y -i \"$in\" -c:a alac \"$out\""},
             },
             [&](const Source& s, const Bytes& got) {
               EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), got.begin())) << s.name;
               EXPECT_TRUE(AllZero(Bytes(got.begin() + kBytes, got.end()))) << s.name;
             });
}

// A converted WAV whose data size a stopped recorder left at 0 still gives its
// audio, to the end of the file, and the file is read as it is.
TEST_F(ImportTest, AConvertedWavStatingNoDataRunsToTheEndOfTheFile) {
  const Bytes pcm = Pattern(4000, 9);
  Bytes wide;
  for (size_t i = 0; i < pcm.size(); i += 2) wide.insert(wide.end(), {0, pcm[i], pcm[i + 1]});
  Bytes file = WavFile(2, 44100, 24, wide);
  StoreU32(file.data() + 40, 0);
  WriteFile(dir + "stopped.wav", file);
  Import(dir + "stopped.wav");
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(Region(1, 0, pcm.size()), pcm);
  EXPECT_EQ(ReadFile(dir + "stopped.wav"), file);
}

TEST_F(ImportTest, OtherRatesLayoutsAndEncodingsAreConverted) {
  // 500 Hz left, 1,500 Hz right, for two seconds at 48 kHz.
  const std::string stereo = dir + "stereo48.wav";
  WriteFile(stereo, WavFile(2, 48000, 16, Tone(2 * 48000, 48000, {500, 1500})));
  ImportEach(stereo,
             {
                 {"sox", "48k.wav", "cp \"$in\" \"$out\""},
                 {"sox", "22k-8bit.wav", "sox \"$in\" -r 22050 -b 8 \"$out\""},
                 {"sox", "mono.wav", "sox \"$in\" \"$out\" remix 1"},
                 {"sox", "six.wav", "sox \"$in\" \"$out\" remix 1 1 1 1 1 1"},
                 {"sox", "ima.wav", "sox \"$in\" -e ima-adpcm \"$out\""},
                 {"sox", "ms.wav", "sox \"$in\" -e ms-adpcm \"$out\""},
                 {"flac", "48k.flac", "flac -s -o \"$out\" \"$in\""},
                 {"opusenc", "take.oga", "opusenc --quiet \"$in\" \"$out\""},
             },
             [](const Source& s, const Bytes& got) {
               // The pitch survives, so the rate was read and converted; one
               // channel taken for both sides stays one.
               const bool folded = std::string_view(s.name).starts_with("mono") ||
                                   std::string_view(s.name).starts_with("six");
               const double right = folded ? 1000 : 3000;
               const uint8_t* middle = got.data() + BytesPerSecond / 2;
               EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 0), 1000, 30) << s.name;
               EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 1), right, right * 0.03)
                   << s.name;
               // Two seconds long: ADPCM pads its last block, Opus its first.
               EXPECT_NEAR(SoundingFrames(got), 2 * 44100, 2000) << s.name;
             });
}

TEST_F(ImportTest, PhoneBrowserAndVideoFilesComeThroughFfmpegAtTheirLengthAndLevel) {
  // Two seconds at 48 kHz: 500 Hz left, 1,500 Hz right, both at -12 dBFS.
  const std::string stereo = dir + "stereo48.wav";
  const double amplitude = 32768 / 4.0;
  const double level = 20 * std::log10(amplitude / 32768 / std::sqrt(2.0));
  WriteFile(stereo, WavFile(2, 48000, 16, Tone(2 * 48000, 48000, {500, 1500}, amplitude)));
  ImportEach(stereo,
             {
                 {"ffmpeg", "memo.m4a", "ffmpeg -y -i \"$in\" -c:a aac \"$out\""},
                 {"ffmpeg", "radio.aac", "ffmpeg -y -i \"$in\" -c:a aac -f adts \"$out\""},
                 {"ffmpeg", "call.webm", "ffmpeg -y -i \"$in\" -c:a libopus \"$out\""},
                 {"ffmpeg", "tab.webm", "ffmpeg -y -i \"$in\" -c:a libvorbis \"$out\""},
                 {"ffmpeg", "old.wma", "ffmpeg -y -i \"$in\" -c:a wmav2 \"$out\""},
                 {"ffmpeg", "film.ac3", "ffmpeg -y -i \"$in\" -c:a ac3 \"$out\""},
                 // The sound of a video, behind its pictures.
                 {"ffmpeg", "clip.mp4",
                  "ffmpeg -y -f lavfi -i testsrc=size=32x24:rate=5 -i \"$in\" -map 0:v -map 1:a "
                  "-c:v mpeg4 -c:a aac -shortest \"$out\""},
                 // The two channels as front left and right of 5.1: FFmpeg names its
                 // channels, and the fold must follow the names.
                 {"ffmpeg", "surround.m4a",
                  "ffmpeg -y -i \"$in\" -af 'pan=5.1|FL=c0|FR=c1' -c:a aac \"$out\""},
             },
             [&](const Source& s, const Bytes& got) {
               const uint8_t* middle = got.data() + BytesPerSecond / 2;
               EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 0), 1000, 30) << s.name;
               EXPECT_NEAR(CrossingsPerSecond(middle, BytesPerSecond, 1), 3000, 90) << s.name;
               // The fold averages each side's channels (here one sounding of four).
               const bool folded = std::string_view(s.name) == "surround.m4a";
               const double expected = folded ? level + 20 * std::log10(0.25) : level;
               EXPECT_NEAR(LevelDb(middle, BytesPerSecond, 0), expected, 1) << s.name;
               EXPECT_NEAR(LevelDb(middle, BytesPerSecond, 1), expected, 1) << s.name;
               EXPECT_NEAR(SoundingFrames(got), 2 * 44100, 2500) << s.name;
             });
}

TEST_F(ImportTest, LoudFloatingPointAudioClipsInsteadOfWrapping) {
  // A 100 Hz sine at one and a half times full scale.
  auto at = [](int f) {
    return 1.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 100 * f / 44100));
  };
  Bytes data(44100 * 8);
  for (int f = 0; f < 44100; ++f) {
    const float v[2] = {at(f), at(f)};
    std::memcpy(&data[8 * f], v, 8);
  }
  WriteFile(dir + "loud", RiffWave({{"fmt ", FormatBody(3, 2, 44100, 32)}, {"data", data}}));
  Import(dir + "loud");
  const Bytes got = Region(1, 0, 44100 * 4);
  int clipped = 0;
  for (int f = 0; f < 44100; ++f) {
    const int sample = LoadI16(&got[4 * f]);
    // Never the other sign, as a wrapped sample would be.
    ASSERT_FALSE((at(f) > 0.01f && sample < 0) || (at(f) < -0.01f && sample > 0)) << f;
    if (sample == 32767 || sample == -32768) ++clipped;
  }
  EXPECT_GT(clipped, 44100 / 3);
}

TEST_F(ImportTest, ConvertedAudioStopsAtTheTracksEndAndLoopsByName) {
  // Five minutes of 8 kHz mono: a small file that converts to more than a track,
  // read by libsndfile and, in Matroska, by FFmpeg.
  const std::string wav = dir + "Loop long.wav";
  WriteFile(wav, WavFile(1, 8000, 16, Tone(300 * 8000, 8000, {200})));
  std::vector<std::string> files = {wav};
  if (HaveTool("ffmpeg")) {
    files.push_back(dir + "Loop long.mka");
    ASSERT_EQ(RunShell("ffmpeg -v quiet -i '" + wav + "' -c:a copy '" + files.back() + "'"), 0);
  }
  for (const std::string& file : files) {
    tracks[1].loopOn = 0;
    Import(file);
    EXPECT_TRUE(fakePlatform.messages.empty());
    EXPECT_EQ(tracks[1].loopOn, 1);
    EXPECT_EQ(tracks[1].loopStart, 0);
    EXPECT_EQ(tracks[1].loopEnd, TrackRegionBytes);
    const Bytes last = Region(1, TrackRegionBytes - BytesPerSecond, BytesPerSecond);
    EXPECT_NEAR(CrossingsPerSecond(last.data(), BytesPerSecond, 1), 400, 5) << file;
    EXPECT_TRUE(AllZero(Region(2, 0, 4)));
  }
}

TEST_F(ImportTest, FilesNoReaderCanDecodeAreRefusedNamingTheFileAndTheReason) {
  const Bytes flacStart = {'f', 'L', 'a', 'C', 0, 0, 0, 0x22, 0x10, 0, 0x10};
  const struct {
    const char* name;
    Bytes bytes;
    const char* why;     // the first line's start; the file's path ends it
    const char* reason;  // the second line's, after the path; null: none
  } cases[] = {
      {"missing.wav",
       {},
       "ImportFileTo: the file is missing or cannot be read",
       "No such file or directory"},
      {"folder.wav", {}, "ImportFileTo: not a file", nullptr},
      {"empty.flac", {}, "ImportFileTo: the file is empty", nullptr},
      // What FFmpeg, tried last, cannot read either carries its reason.
      {"text.mp3", Bytes(500, 'a'), "ImportFileTo: not a WAV, AIFF, FLAC, Ogg Vorbis, Opus or MP3",
       ""},
      // A codec no reader knows, an AIFF and a FLAC cut inside their headers.
      {"codec.wav", RiffWave({{"fmt ", FormatBody(0x1234, 2, 44100, 16)}, {"data", Bytes(40)}}),
       "LoadSoundFile: ", ""},
      {"cut.aiff",
       {'F', 'O', 'R', 'M', 0, 0, 1, 0, 'A', 'I', 'F', 'F', 'C', 'O'},
       "LoadSoundFile: ",
       ""},
      {"cut.flac", flacStart, "LoadSoundFile: ", ""},
  };
  const Bytes before = FillTrack(1, 1000);
  tracks[1].loopOn = 1;
  for (const auto& c : cases) {
    const std::string path = dir + c.name;
    if (c.name == std::string("folder.wav")) std::filesystem::create_directory(path);
    if (!c.bytes.empty() || c.name == std::string("empty.flac")) WriteFile(path, c.bytes);
    fakePlatform.Reset();

    EXPECT_EQ(ImportFileTo(tracks[1], path), 0) << c.name;

    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
    const std::string& text = fakePlatform.messages[0].text;
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_TRUE(first.starts_with(c.why)) << text;
    // The first line ends with the path, and a reason stands between.
    ASSERT_TRUE(first.ends_with(": " + path)) << text;
    EXPECT_GT(first.size() - path.size() - 2, first.find(": ") + 2) << text;
    if (c.reason == nullptr) {
      EXPECT_EQ(first, text);
    } else {
      ExpectFailureText(text, first, path, c.reason);
    }
    EXPECT_EQ(Region(1, 0, 1000), before) << c.name;
    EXPECT_EQ(tracks[1].loopOn, 1) << c.name;
  }
}

}  // namespace
