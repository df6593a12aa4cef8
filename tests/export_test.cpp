#include "codecs/export.h"

#include "audio/mixer.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"
#include "codecs_fixture.h"
#include "panel/commands.h"

namespace {

constexpr int64_t kWavExportBytes = 49568444;

// A song in which no track is heard or armed: the mix is silence, whatever the
// mixer's arithmetic.
class ExportTest : public CodecsTest {
 protected:
  void SetUp() override {
    CodecsTest::SetUp();
    ASSERT_EQ(MixerBlocksInit(), 1);
    exportName.clear();
  }
  void TearDown() override {
    MixerBlocksRelease();
    CodecsTest::TearDown();
  }
  static void Export(const std::string& name) {
    fakePlatform.ScriptDialog(name);
    ExportMix();
  }
  static bool ToolAccepts(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  // ffprobe reads the whole file and says nothing when it finds nothing wrong.
  void ExpectFfprobeQuiet(const std::string& path) {
    if (!HaveTool("ffprobe")) return;
    const std::string report = dir + "ffprobe.txt";
    EXPECT_EQ(RunShell("ffprobe -v warning -show_entries format=duration -of csv=p=0 '" + path +
                       "' >'" + report + "' 2>&1"),
              0);
    const Bytes text = ReadFile(report);
    EXPECT_EQ(std::string(text.begin(), text.end()).substr(0, 4), "281.") << path;
  }
};

TEST_F(ExportTest, AWavExportIsTheWholeSongBehindItsHeader) {
  std::memset(song.workBuffer.get(), 0x5A, WorkBufferBytes);  // stale import data
  const std::string path = dir + "mix.wav";

  Export(path);

  ASSERT_EQ(fakePlatform.dialogs.size(), 1u);
  const DialogCall& dialog = fakePlatform.dialogs[0];
  EXPECT_TRUE(dialog.save);
  EXPECT_EQ(dialog.startName, "");
  EXPECT_EQ(dialog.filters, (std::vector<FileFilter>{{"Wave File (*.wav)", "*.wav"},
                                                     {"Ogg File (*.ogg)", "*.ogg"},
                                                     {"FLAC File (*.flac)", "*.flac"},
                                                     {"MP3 File (*.mp3)", "*.mp3"}}));
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(song.mixSecond, SongSeconds);
  EXPECT_EQ(song.ringSecond, SongSeconds);

  const Bytes file = ReadFile(path);
  ASSERT_EQ(static_cast<int64_t>(file.size()), kWavExportBytes);
  uint8_t header[kWavHeaderBytes];
  BuildWavHeader(header, TrackRegionBytes);
  EXPECT_TRUE(std::equal(header, header + kWavHeaderBytes, file.begin()));
  EXPECT_TRUE(std::all_of(file.begin() + kWavHeaderBytes, file.end(), [](uint8_t b) {
    return b == 0;
  })) << "the render replaces everything the work buffer held";
  if (HaveTool("soxi")) {
    EXPECT_TRUE(ToolAccepts("soxi '" + path + "'"));
  }
  ExpectFfprobeQuiet(path);
}

TEST_F(ExportTest, TheNameIsOfferedAgainAtTheNextExport) {
  Export(dir + "first.wav");
  fakePlatform.ScriptDialog(std::nullopt);
  ExportMix();
  ASSERT_EQ(fakePlatform.dialogs.size(), 2u);
  EXPECT_EQ(fakePlatform.dialogs[1].startName, dir + "first.wav");
  EXPECT_EQ(exportName, dir + "first.wav") << "a cancelled dialog keeps the last name";
}

TEST_F(ExportTest, ANameThatChoosesNoFormatRendersAndWritesNothing) {
  std::memset(song.workBuffer.get(), 0x5A, 1000);
  song.mixSecond = 7;
  for (const char* name : {"mix.txt", "mix.wv", "mix.oga", "mix.flac.bak", "mix.mp4"}) {
    Export(dir + name);
    EXPECT_FALSE(std::filesystem::exists(dir + name)) << name;
  }
  fakePlatform.ScriptDialog(std::nullopt);
  ExportMix();
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(song.mixSecond, 7);
  EXPECT_EQ(song.workBuffer[500], 0x5A);
}

TEST_F(ExportTest, AnUpperCaseOggNameWritesOggVorbisOfTheWholeSong) {
  const std::string path = dir + "MIX.OGG";
  Export(path);
  EXPECT_TRUE(fakePlatform.messages.empty());
  const Bytes ogg = ReadFile(path);
  ASSERT_GT(ogg.size(), 4u);
  EXPECT_EQ(std::string(ogg.begin(), ogg.begin() + 4), "OggS");

  Bytes decoded(TrackRegionBytes + kWavHeaderBytes);
  EXPECT_EQ(DecodeOggImage(ogg, decoded), TrackRegionBytes + kWavHeaderBytes)
      << "12,392,100 frames, all of the song";
  if (HaveTool("ogginfo")) {
    const std::string report = dir + "ogginfo.txt";
    EXPECT_EQ(RunShell("ogginfo '" + path + "' >'" + report + "' 2>&1"), 0);
    const Bytes text = ReadFile(report);
    const std::string s(text.begin(), text.end());
    EXPECT_EQ(s.find("WARNING"), std::string::npos) << s;
    EXPECT_NE(s.find("ENCODER=encoder_example.c"), std::string::npos) << s;
    EXPECT_NE(s.find("4m:41"), std::string::npos) << s;
  }
  ExpectFfprobeQuiet(path);
}

TEST_F(ExportTest, WithoutTheMixBlockAnExportIsRefusedAsAtStartUp) {
  MixerBlocksRelease();
  EXPECT_EQ(ExportMixTo(dir + "mix.wav"), 0);
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{{"Error: PlayStart", "Error"}}));
  EXPECT_EQ(fakePlatform.beeps, 1);
  EXPECT_FALSE(std::filesystem::exists(dir + "mix.wav"));
}

TEST_F(ExportTest, AnExportThatCannotBeWrittenIsReportedWithTheReason) {
  Export(dir + "missing/mix.wav");
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  ExpectFailureText(fakePlatform.messages[0].text, "WriteWavFile - failed", dir + "missing/mix.wav",
                    "No such file or directory");
}

TEST_F(ExportTest, EveryFormatsFailureNamesTheFileAndTheReasonAndLeavesNoFile) {
  Bytes pcm = Pattern(kWavHeaderBytes + BytesPerSecond, 3);
  const struct {
    ExportFormat format;
    const char* name;
    const char* first;
  } cases[] = {
      {ExportFormat::Wav, "mix.wav", "WriteWavFile - failed"},
      {ExportFormat::Ogg, "mix.ogg", "ExportSave - failed"},
      {ExportFormat::Flac, "mix.flac", "WriteFlacFile - failed"},
      {ExportFormat::Mp3, "mix.mp3", "WriteMp3File - failed"},
  };
  for (const auto& c : cases) {
    {
      const ReadOnlyFolder locked(dir + "locked");
      fakePlatform.Reset();
      EXPECT_EQ(
          WriteAudioFile(c.format, locked / c.name, pcm.data() + kWavHeaderBytes, BytesPerSecond),
          0);
      ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
      ExpectFailureText(fakePlatform.messages[0].text, c.first, locked / c.name,
                        "Permission denied");
    }
    FileSizeLimit full(1000);
    fakePlatform.Reset();
    EXPECT_EQ(WriteAudioFile(c.format, dir + c.name, pcm.data() + kWavHeaderBytes, BytesPerSecond),
              0);
    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.name;
    ExpectFailureText(fakePlatform.messages[0].text, c.first, dir + c.name, "File too large");
    EXPECT_FALSE(std::filesystem::exists(dir + c.name)) << c.name;
  }
}

}  // namespace
