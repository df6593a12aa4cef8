// svltool driven through its real binary: exit statuses, what it prints, and the
// bytes it leaves in song files and exports.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kHeaderBytes = 8000;
constexpr size_t kRegionBytes = 49'568'400;
constexpr size_t kSecond = 176'400;

size_t RegionStart(int track) {
  return kHeaderBytes + static_cast<size_t>(track - 1) * kRegionBytes;
}

class SvltoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "svltool_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    fs::create_directory(dir / "tmp");
    fs::create_directory(dir / "capture");
    if (const char* old = std::getenv("TMPDIR")) savedTmp = old;
    // The tool's working folders go here, so the tests see that none is left.
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    song = (dir / "song.svl").string();
  }

  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "a working folder was left behind";
    if (savedTmp.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", savedTmp.c_str(), 1);
    }
    fs::remove_all(dir);
  }

  ToolResult Run(const std::vector<std::string>& args, const std::string& folder = {}) {
    return RunProgram(SVLTOOL_PATH, args, dir / "capture", folder);
  }

  // A new song, checked to have been made.
  void NewSong() { ASSERT_EQ(Run({"new", song}).status, 0); }

  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir / name).string();
    WriteFile(path, bytes);
    return path;
  }

  fs::path dir;
  std::string savedTmp;
  std::string song;
};

// ---- the command line ----

TEST_F(SvltoolTest, HelpForTheToolAndEveryCommand) {
  const ToolResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* usage :
       {"svltool new SONG", "svltool info SONG [--json]", "svltool set SONG TRACK",
        "svltool import SONG TRACK FILE", "svltool click SONG TRACK --bpm N",
        "svltool bounce SONG TRACK", "svltool export SONG OUT",
        "svltool export-tracks SONG FOLDER"}) {
    EXPECT_NE(help.out.find(usage), std::string::npos) << usage;
  }
  for (const char* command :
       {"new", "info", "set", "import", "click", "bounce", "export", "export-tracks"}) {
    const ToolResult r = Run({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(std::string("usage: svltool ") + command, 0), 0u) << r.out;
    EXPECT_TRUE(r.err.empty());
  }
  // What can be imported is listed.
  const std::string import = Run({"import", "--help"}).out;
  for (const char* kind :
       {"WAV", "AIFF", "CAF", "FLAC", "Ogg Vorbis", "Opus", "MP3", "M4A", "WebM", "FFmpeg"}) {
    EXPECT_NE(import.find(kind), std::string::npos) << kind;
  }
  const std::string exports = Run({"export", "--help"}).out;
  for (const char* kind : {".wav", ".ogg", ".flac", ".mp3"}) {
    EXPECT_NE(exports.find(kind), std::string::npos) << kind;
  }
}

TEST_F(SvltoolTest, WrongCommandLinesPrintTheUsageAndExitTwo) {
  NewSong();
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"play", song},
      {"new"},
      {"new", song, "extra"},
      {"info", song, "--verbose"},
      {"info", song, "--json=1"},
      {"set", song},
      {"set", song, "1", "--volume"},
      {"set", song, "1", "--play", "1", "--play", "0"},
      {"import", song, "1"},
      {"export", song},
  };
  for (const auto& args : wrong) {
    const ToolResult r = Run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "(nothing)" : args[0]);
    EXPECT_NE(r.err.find("svltool"), std::string::npos);
    EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
  }
}

TEST_F(SvltoolTest, BadValuesAreRefusedBeforeTheSongIsTouched) {
  NewSong();
  const std::vector<uint8_t> before = ReadBytes(song);
  const std::string wav = File("tone.wav", ConstantWav(100, 1000));
  const std::vector<std::vector<std::string>> wrong = {
      {"set", song, "0", "--play", "1"},
      {"set", song, "9", "--play", "1"},
      {"set", song, "x", "--play", "1"},
      {"set", song, "1", "--play", "2"},
      {"set", song, "1", "--effect", "yes"},
      {"set", song, "1", "--volume", "loud"},
      {"set", song, "1", "--volume", "99999999999"},
      {"set", song, "1", "--name", "caf\xC3\xA9"},
      {"import", song, "9", wav},
      {"export", song, (dir / "mix.mp4").string()},
      {"export", song, (dir / "mix.wav").string(), "--armed", "9"},
      {"export", song, (dir / "mix.wav").string(), "--in", "-1"},
      {"export", song, (dir / "mix.wav").string(), "--out", "281001"},
      {"export", song, (dir / "mix.wav").string(), "--in", "5000", "--out", "4000"},
  };
  for (const auto& args : wrong) {
    const ToolResult r = Run(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[2] << " " << args.back();
  }
  EXPECT_EQ(ReadBytes(song), before);
  EXPECT_FALSE(fs::exists(dir / "mix.wav"));
}

TEST_F(SvltoolTest, EveryCommandOnAMissingSongFails) {
  const std::string missing = (dir / "missing.svl").string();
  const std::string wav = File("tone.wav", ConstantWav(100, 1000));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"info", missing},
                                             {"set", missing, "1", "--play", "1"},
                                             {"import", missing, "1", wav},
                                             {"export", missing, (dir / "mix.wav").string()}}) {
    const ToolResult r = Run(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find("svltool: Error: SongFileOpen - failed"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(missing));
  }
  EXPECT_FALSE(fs::exists(dir / "mix.wav"));
}

TEST_F(SvltoolTest, CommandsThatChangeASongRefuseAFileThatIsNone) {
  const std::string wav = File("tone.wav", ConstantWav(100, 1000));
  const std::vector<uint8_t> before = ReadBytes(wav);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"set", wav, "1", "--play", "1"}, {"import", wav, "1", wav}}) {
    const ToolResult r = Run(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find(wav + ": not a Sonavel song"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadBytes(wav), before);
}

// ---- new, info, set ----

TEST_F(SvltoolTest, NewMakesTheEmptyHeaderAreaAndNeverReplacesAFile) {
  NewSong();
  EXPECT_EQ(ReadBytes(song), std::vector<uint8_t>(kHeaderBytes, 0));

  WriteFile(song, {1, 2, 3});
  const ToolResult again = Run({"new", song});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos);
  EXPECT_EQ(ReadBytes(song), (std::vector<uint8_t>{1, 2, 3}));

  const ToolResult nowhere = Run({"new", (dir / "no/such/folder/a.svl").string()});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_FALSE(nowhere.err.empty());
}

TEST_F(SvltoolTest, InfoOfAFreshSong) {
  NewSong();
  const ToolResult text = Run({"info", song});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out.rfind("track  play  volume  effect  loop  loopStart   loopEnd  name\n", 0),
            0u);
  EXPECT_NE(text.out.find("\n    8     0       0       0     0          0         0  \n"),
            std::string::npos)
      << text.out;

  const ToolResult json = Run({"info", song, "--json"});
  EXPECT_EQ(json.status, 0);
  std::string expected = "{\"tracks\":[";
  for (int t = 1; t <= 8; ++t) {
    expected += (t == 1 ? "" : ",");
    expected += "{\"track\":" + std::to_string(t) +
                ",\"play\":0,\"volume\":0,\"effect\":0,\"loop\":0,\"loopStart\":0,"
                "\"loopEnd\":0,\"name\":\"\"}";
  }
  EXPECT_EQ(json.out, expected + "]}\n");
  // Looking leaves the version-0 file as it was.
  EXPECT_EQ(ReadBytes(song), std::vector<uint8_t>(kHeaderBytes, 0));
}

TEST_F(SvltoolTest, InfoShowsAVersionOneSongAsTheRecorderLoadsIt) {
  std::vector<uint8_t> header(kHeaderBytes, 0);
  header[0] = 1;
  // Track 2: speaker on, a stored volume of 95, a name with a quote, a backslash
  // and a byte the panel draws as a space.
  const size_t record = 1 + 23;
  header[record] = 1;
  header[record + 1] = 95;
  const std::string name = "Lead \"A\"\\B\x01z";
  std::copy(name.begin(), name.end(), header.begin() + record + 2);
  WriteFile(song, header);

  const ToolResult json = Run({"info", song, "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("{\"track\":2,\"play\":1,\"volume\":90,\"effect\":0,\"loop\":0,"
                          "\"loopStart\":0,\"loopEnd\":0,\"name\":\"Lead \\\"A\\\"\\\\B z\"}"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(ReadBytes(song), header);
}

TEST_F(SvltoolTest, SetWritesOneTrackIntoAVersionTwoHeader) {
  NewSong();
  ASSERT_EQ(Run({"set", song, "3", "--play", "1", "--volume", "120", "--effect", "1", "--name",
                 "Backing vocals, take two"})
                .status,
            0);
  ASSERT_EQ(Run({"set", song, "5", "--volume=-7", "--name", "Bass"}).status, 0);

  const std::vector<uint8_t> header = ReadBytes(song);
  ASSERT_EQ(header.size(), kHeaderBytes);
  EXPECT_EQ(header[0], 2);
  const size_t r3 = 1 + 33 * 2;
  EXPECT_EQ(header[r3], 1);
  EXPECT_EQ(header[r3 + 1], 90);
  EXPECT_EQ(std::string(header.begin() + r3 + 2, header.begin() + r3 + 23),
            "Backing vocals, take ");
  EXPECT_EQ(header[r3 + 23], 1);
  const size_t r5 = 1 + 33 * 4;
  EXPECT_EQ(header[r5 + 1], 0);
  EXPECT_EQ(std::string(header.begin() + r5 + 2, header.begin() + r5 + 23),
            "Bass                 ");
  // The other tracks keep what they had.
  const size_t r4 = 1 + 33 * 3;
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + r4, header.begin() + r4 + 33),
            std::vector<uint8_t>(33, 0));

  const ToolResult info = Run({"info", song});
  EXPECT_NE(info.out.find("    3     1      90       1     0          0         0  "
                          "Backing vocals, take\n"),
            std::string::npos)
      << info.out;
}

// ---- import ----

TEST_F(SvltoolTest, ImportsAWavIntoTheNamedTrack) {
  NewSong();
  const std::string wav = File("tone.wav", ConstantWav(44100 * 2, 1234));
  const ToolResult r = Run({"import", song, "2", wav});
  EXPECT_EQ(r.status, 0) << r.err;
  // The whole region of track 2 is written: its audio, then silence.
  EXPECT_EQ(fs::file_size(song), RegionStart(3));
  const std::vector<uint8_t> start = ReadBytes(song, RegionStart(2), 8);
  EXPECT_EQ(SampleAt(start, 0), 1234);
  EXPECT_EQ(SampleAt(start, 6), 1234);
  EXPECT_EQ(ReadBytes(song, RegionStart(2) + 2 * kSecond, 8), std::vector<uint8_t>(8, 0));
  EXPECT_EQ(ReadBytes(song, RegionStart(1), 8), std::vector<uint8_t>(8, 0));
  // Switched on to be heard, and named after the file.
  EXPECT_NE(Run({"info", song})
                .out.find("    2     1       0       0     0          0         0  tone\n"),
            std::string::npos);
}

TEST_F(SvltoolTest, ALoopNameLoopsAlsoWhenGivenWithoutAFolder) {
  NewSong();
  File("Loop_beat.wav", ConstantWav(44100, 500));
  // A bare name, relative to the folder the tool runs in.
  const ToolResult r = Run({"import", song, "4", "Loop_beat.wav"}, dir.string());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Run({"info", song, "--json"})
                .out.find("{\"track\":4,\"play\":1,\"volume\":0,\"effect\":0,\"loop\":1,"
                          "\"loopStart\":0,\"loopEnd\":176400,"),
            std::string::npos);

  // Another import into the track is not a loop any more.
  File("beat.wav", ConstantWav(44100, 500));
  ASSERT_EQ(Run({"import", song, "4", (dir / "beat.wav").string()}).status, 0);
  EXPECT_NE(Run({"info", song, "--json"})
                .out.find("{\"track\":4,\"play\":1,\"volume\":0,"
                          "\"effect\":0,\"loop\":0,"),
            std::string::npos);
}

TEST_F(SvltoolTest, ImportsWhatTheRecorderImportsWhateverTheName) {
  NewSong();
  const std::string wav = File("source.wav", ConstantWav(44100, 8000));
  const std::string ogg = (dir / "source.ogg").string();
  const std::string mp3 = (dir / "source.mp3").string();
  const std::string flac = (dir / "take").string();  // no extension
  ASSERT_EQ(RunProgram("/usr/bin/oggenc", {"-Q", "-o", ogg, wav}, dir / "capture").status, 0);
  ASSERT_EQ(RunProgram("/usr/bin/lame", {"--quiet", wav, mp3}, dir / "capture").status, 0);
  const bool haveFlac = fs::exists("/usr/bin/flac");
  if (haveFlac) {
    ASSERT_EQ(RunProgram("/usr/bin/flac", {"-s", "-o", flac, wav}, dir / "capture").status, 0);
  }

  EXPECT_EQ(Run({"import", song, "1", ogg}).status, 0);
  EXPECT_EQ(Run({"import", song, "2", mp3}).status, 0);
  EXPECT_EQ(Run({"import", song, "3", File("mono.WAVE", ConstantWav(44100, 8000, 1))}).status, 0);
  if (haveFlac) {
    EXPECT_EQ(Run({"import", song, "4", flac}).status, 0);
  }
  for (int track : {1, 2, 3, 4}) {
    if (track == 4 && !haveFlac) continue;
    const std::vector<uint8_t> middle = ReadBytes(song, RegionStart(track) + kSecond / 2, 4);
    EXPECT_NEAR(SampleAt(middle, 0), 8000, 400) << "track " << track;
  }
}

TEST_F(SvltoolTest, RefusedImportsFailAndLeaveTheTrackAlone) {
  NewSong();
  ASSERT_EQ(Run({"import", song, "1", File("first.wav", ConstantWav(44100, 77))}).status, 0);
  const std::vector<uint8_t> before = ReadBytes(song, RegionStart(1), 16);

  const ToolResult missing = Run({"import", song, "1", (dir / "missing.wav").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("svltool: Error: ImportFileTo: the file is missing or cannot be "
                             "read: " +
                             (dir / "missing.wav").string()),
            std::string::npos)
      << missing.err;

  const std::string text = File("notes.wav", {'h', 'e', 'l', 'l', 'o'});
  const ToolResult notSound = Run({"import", song, "1", text});
  EXPECT_EQ(notSound.status, 1);
  EXPECT_NE(notSound.err.find("not a WAV, AIFF, FLAC, Ogg Vorbis, Opus or MP3 file: " + text),
            std::string::npos)
      << notSound.err;

  // Not readable to anyone but root, and not Ogg Vorbis to root either.
  const std::string unreadable = File("locked.ogg", {1, 2, 3});
  fs::permissions(unreadable, fs::perms::none);
  const ToolResult locked = Run({"import", song, "1", unreadable});
  EXPECT_EQ(locked.status, 1);
  EXPECT_FALSE(locked.err.empty());

  EXPECT_EQ(ReadBytes(song, RegionStart(1), 16), before);
}

TEST_F(SvltoolTest, NeverTouchesTheDesktopProgramsWorkingFile) {
  // The recorder next to svltool keeps its unsaved song here.
  const fs::path working = fs::path(SVLTOOL_PATH).parent_path() / "default.svl";
  if (fs::exists(working)) GTEST_SKIP() << "a recorder is using " << working;
  WriteFile(working, {9, 9, 9});
  NewSong();
  EXPECT_EQ(Run({"import", song, "1", File("a.wav", ConstantWav(100, 1))}).status, 0);
  EXPECT_EQ(Run({"info", song}).status, 0);
  EXPECT_EQ(ReadBytes(working), (std::vector<uint8_t>{9, 9, 9}));
  fs::remove(working);
}

// ---- export ----

TEST_F(SvltoolTest, ExportsTheWholeMixAsWav) {
  NewSong();
  ASSERT_EQ(Run({"import", song, "1", File("a.wav", ConstantWav(44100 * 3, 1000))}).status, 0);
  ASSERT_EQ(Run({"set", song, "1", "--play", "1", "--volume", "90"}).status, 0);
  const std::vector<uint8_t> songBefore = ReadBytes(song, 0, kHeaderBytes);

  const std::string out = (dir / "mix.WAV").string();
  const ToolResult r = Run({"export", song, out});
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(fs::file_size(out), 44 + kRegionBytes);
  const std::vector<uint8_t> head = ReadBytes(out, 0, 44);
  EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(head.begin() + 36, head.begin() + 40), "data");
  EXPECT_EQ(SampleAt(ReadBytes(out, 44, 2), 0), 900);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + 3 * kSecond - 4, 2), 0), 900);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + 3 * kSecond, 2), 0), 0);
  EXPECT_EQ(ReadBytes(song, 0, kHeaderBytes), songBefore);
}

TEST_F(SvltoolTest, TheArmedTrackIsSilentBetweenTheMarkers) {
  NewSong();
  ASSERT_EQ(Run({"import", song, "2", File("a.wav", ConstantWav(44100 * 4, 1000))}).status, 0);
  ASSERT_EQ(Run({"set", song, "2", "--volume", "90", "--play", "0"}).status, 0);
  const std::string out = (dir / "mix.wav").string();

  // Speaker off: not armed, not heard.
  ASSERT_EQ(Run({"export", song, out}).status, 0);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44, 2), 0), 0);

  ASSERT_EQ(Run({"export", song, out, "--armed", "2", "--in", "1000", "--out", "2000"}).status, 0);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + kSecond / 2, 2), 0), 900);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + kSecond + kSecond / 2, 2), 0), 0);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + 2 * kSecond + kSecond / 2, 2), 0), 900);

  // The default markers cover the whole song.
  ASSERT_EQ(Run({"export", song, out, "--armed", "2"}).status, 0);
  EXPECT_EQ(SampleAt(ReadBytes(out, 44 + kSecond / 2, 2), 0), 0);
}

TEST_F(SvltoolTest, ClickAndBounceWriteTracksAsTheTrackMenuDoes) {
  NewSong();
  EXPECT_EQ(Run({"click", song, "1"}).status, 2) << "a tempo is needed";
  ToolResult r = Run({"click", song, "1", "--bpm", "96", "--beats", "3", "--level", "-6"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The second beat lies 27,562.5 frames in: it starts on the frame after.
  EXPECT_EQ(ReadBytes(song, RegionStart(1) + 27562 * 4, 4), std::vector<uint8_t>(4, 0));
  EXPECT_NE(ReadBytes(song, RegionStart(1) + 27563 * 4, 4), std::vector<uint8_t>(4, 0));
  ASSERT_EQ(Run({"set", song, "1", "--volume", "90"}).status, 0);
  r = Run({"bounce", song, "5"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(song, RegionStart(5) + 27562 * 4, 4), std::vector<uint8_t>(4, 0));
  EXPECT_NE(ReadBytes(song, RegionStart(5) + 27563 * 4, 4), std::vector<uint8_t>(4, 0));
  const std::string info = Run({"info", song}).out;
  EXPECT_NE(info.find("    5     1      90       0     0          0         0  Bounce 1\n"),
            std::string::npos)
      << info;
}

TEST_F(SvltoolTest, ExportsOggAndReportsAFolderItCannotWrite) {
  NewSong();
  const std::string ogg = (dir / "mix.ogg").string();
  EXPECT_EQ(Run({"export", song, ogg}).status, 0);
  EXPECT_EQ(ReadText(ogg).substr(0, 4), "OggS");

  const std::string nowhere = (dir / "no/such/folder/mix.wav").string();
  const ToolResult r = Run({"export", song, nowhere});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("svltool: Error: WriteWavFile - failed: " + nowhere +
                       ": No such file or directory"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(SvltoolTest, ExportsTheTracksThatHoldAudioIntoAFolderItMakes) {
  NewSong();
  ASSERT_EQ(Run({"import", song, "2", File("a.wav", ConstantWav(44100, 1000))}).status, 0);
  ASSERT_EQ(Run({"set", song, "2", "--name", "Keys", "--volume", "10"}).status, 0);
  const fs::path stems = dir / "stems";
  ToolResult r = Run({"export-tracks", song, stems.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(stems), fs::directory_iterator()), 1);
  const fs::path wav = stems / "02 Keys.wav";
  ASSERT_EQ(fs::file_size(wav), 44 + kRegionBytes);
  EXPECT_EQ(ReadBytes(wav, 44), RegionOf(song, 2, 0, kRegionBytes));

  r = Run({"export-tracks", song, stems.string(), "--flac"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(stems / "02 Keys.flac").substr(0, 4), "fLaC");
}

TEST_F(SvltoolTest, ExportsFlacAndMp3ByTheExtensionTheMp3TitledAfterTheSong) {
  if (!HaveTool("flac") || !HaveTool("ffprobe")) GTEST_SKIP() << "flac or ffprobe is missing";
  const std::string named = (dir / "Chanson d'été.svl").string();
  ASSERT_EQ(Run({"new", named}).status, 0);
  ASSERT_EQ(Run({"import", named, "1", File("a.wav", ConstantWav(44100, 1000))}).status, 0);
  ASSERT_EQ(Run({"set", named, "1", "--play", "1", "--volume", "90"}).status, 0);
  const std::string wav = (dir / "mix.wav").string();
  const std::string flac = (dir / "mix.Flac").string();
  const std::string mp3 = (dir / "mix.mp3").string();
  for (const std::string& out : {wav, flac, mp3}) {
    const ToolResult r = Run({"export", named, out});
    EXPECT_EQ(r.status, 0) << out << r.err;
  }
  const std::string decoded = (dir / "decoded.wav").string();
  ASSERT_EQ(RunShell("flac -s -d -o '" + decoded + "' '" + flac + "'"), 0);
  EXPECT_EQ(ReadBytes(decoded, 44), ReadBytes(wav, 44));

  const std::string title = (dir / "title.txt").string();
  ASSERT_EQ(RunShell("ffprobe -v error -show_entries format_tags=title -of csv=p=0 '" + mp3 +
                     "' >'" + title + "'"),
            0);
  EXPECT_EQ(ReadText(title), "Chanson d'été\n");
}

}  // namespace

namespace {

// A song a running recorder holds is never changed by the tool, and the tool
// never waits for it; looking at it and exporting it still work.
TEST_F(SvltoolTest, ASongARunningProgramHoldsIsRefusedForChangesAtOnce) {
  NewSong();
  const std::string wav = File("a.wav", ConstantWav(100, 1000));
  const int held = ::open(song.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const std::vector<uint8_t> before = ReadFile(song);

  for (const std::vector<std::string>& change :
       {std::vector<std::string>{"set", song, "2", "--volume", "10"},
        std::vector<std::string>{"import", song, "1", wav}}) {
    const ToolResult r = Run(change);
    EXPECT_EQ(r.status, 1) << change[0];
    EXPECT_NE(r.err.find("Another Sonavel window has the song " + song + " open"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(ReadFile(song), before);
  EXPECT_EQ(Run({"info", song}).status, 0);
  EXPECT_EQ(Run({"export", song, (dir / "mix.wav").string()}).status, 0);

  ::close(held);
  EXPECT_EQ(Run({"set", song, "2", "--volume", "10"}).status, 0);
}

}  // namespace
