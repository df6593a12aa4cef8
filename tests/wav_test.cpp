#include "codecs/wav.h"

#include <sys/resource.h>

#include <csignal>
#include <sstream>

#include "base/bytes.h"
#include "codecs/import.h"
#include "codecs/imported_audio.h"
#include "codecs_fixture.h"

namespace {

constexpr int32_t kTenSeconds = 10 * BytesPerSecond;

class WavTest : public CodecsTest {
 protected:
  // A chunk header at the end of b.
  static void Append(Bytes& b, const char* tag, uint32_t size) {
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, tag, 4);
    StoreU32(b.data() + at + 4, size);
  }
};

TEST_F(WavTest, TenSecondsGoToTheArmedTrackAndSilenceTheRest) {
  const Bytes pcm = Pattern(kTenSeconds);
  const std::string path = dir + "drums.wav";
  ASSERT_EQ(WriteWavFile(path, pcm.data(), kTenSeconds), 1);
  ASSERT_EQ(FileSize(path), 1764044);
  FillTrack(2, 3 * kTenSeconds);  // an older, longer take that must go
  song.armedTrack = 2;
  tracks[2].loopOn = 1;

  Import(path);

  ASSERT_EQ(fakePlatform.dialogs.size(), 1u);
  const DialogCall& dialog = fakePlatform.dialogs[0];
  EXPECT_FALSE(dialog.save);
  EXPECT_EQ(dialog.startName, "");
  // Every kind at once first, then one entry for each, each listed in the first.
  ASSERT_GE(dialog.filters.size(), 7u);
  EXPECT_EQ(dialog.filters[0].text, "Audio files");
  const std::string all = ";" + dialog.filters[0].pattern + ";";
  for (size_t i = 1; i < dialog.filters.size(); ++i) {
    std::istringstream patterns(dialog.filters[i].pattern);
    for (std::string p; std::getline(patterns, p, ';');) {
      if (p != "*") {
        EXPECT_NE(all.find(";" + p + ";"), std::string::npos) << p;
      }
    }
  }
  EXPECT_GT(fakePlatform.flushes, 0) << "the lit button must be on screen during the load";
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(Region(2, 0, kTenSeconds), pcm);
  EXPECT_TRUE(AllZero(Region(2, kTenSeconds, TrackRegionBytes - kTenSeconds)));
  EXPECT_EQ(tracks[2].loopOn, 0);
  EXPECT_TRUE(AllZero(Region(1, 0, BytesPerSecond)));
}

TEST_F(WavTest, WithNoTrackArmedTheImportGoesToTrackOne) {
  const Bytes pcm = Pattern(BytesPerSecond);
  ASSERT_EQ(WriteWavFile(dir + "a.wav", pcm.data(), BytesPerSecond), 1);
  Import(dir + "a.wav");
  EXPECT_EQ(Region(1, 0, BytesPerSecond), pcm);
}

TEST_F(WavTest, NamesBeginningWithLoopMakeTheTrackLoop) {
  const Bytes pcm = Pattern(kTenSeconds);
  std::filesystem::create_directory(dir + "kit");
  ASSERT_EQ(WriteWavFile(dir + "kit/Loop_drums.wav", pcm.data(), kTenSeconds), 1);
  ASSERT_EQ(WriteWavFile(dir + "kit/myloop.wav", pcm.data(), kTenSeconds), 1);

  Import(dir + "kit/Loop_drums.wav");
  EXPECT_EQ(tracks[1].loopOn, 1);
  EXPECT_EQ(tracks[1].loopStart, 0);
  EXPECT_EQ(tracks[1].loopEnd, kTenSeconds);

  tracks[1].loopStart = 5;
  Import(dir + "kit/myloop.wav");
  EXPECT_EQ(tracks[1].loopOn, 0);
  EXPECT_EQ(tracks[1].loopStart, 5) << "the offsets stay for a later loop";
  EXPECT_EQ(tracks[1].loopEnd, kTenSeconds);
}

TEST_F(WavTest, TheLoopRuleLooksOnlyAtTheNameAfterTheLastSeparator) {
  struct Case {
    const char* path;
    bool loop;
  } cases[] = {
      {"C:\\music\\LOOPY.wav", true},
      {"/loops/beat.wav", false},
      {"loop.wav", false},
      {"/a/loo", false},
      {"/a/loop", true},
      {"/lo\\opx.wav", false},
  };
  for (const Case& c : cases) {
    Track track;
    ApplyLoopName(track, c.path, 7, 99);
    EXPECT_EQ(track.loopOn, c.loop ? 1 : 0) << c.path;
    EXPECT_EQ(track.loopEnd, c.loop ? 99 : 0) << c.path;
  }
}

TEST_F(WavTest, TheChunkWalkStepsOverOtherChunksToTheData) {
  Bytes file = WavFile(2, 44100, 16, {});
  file.resize(36);  // keep RIFF and fmt, walk from here
  Append(file, "LIST", 26);
  const Bytes list = Pattern(26, 9);
  file.insert(file.end(), list.begin(), list.end());
  ASSERT_EQ(file.size(), 70u);
  const Bytes pcm = Pattern(4000, 3);
  Append(file, "data", 4000);
  file.insert(file.end(), pcm.begin(), pcm.end());
  WriteFile(dir + "list.wav", file);

  EXPECT_EQ(LoadFileWav(tracks[3], dir + "list.wav"), 1);
  EXPECT_EQ(Region(3, 0, 4000), pcm);
  EXPECT_TRUE(AllZero(Region(3, 4000, BytesPerSecond)));
}

TEST_F(WavTest, AFileLongerThanTheSongIsReportedThenClipped) {
  const int32_t threeHundredSeconds = 300 * BytesPerSecond;
  Bytes pcm = Pattern(static_cast<size_t>(threeHundredSeconds));
  ASSERT_EQ(WriteWavFile(dir + "long.wav", pcm.data(), threeHundredSeconds), 1);

  EXPECT_EQ(LoadFileWav(tracks[1], dir + "long.wav"), 1);

  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0],
            (ShownMessage{"LoadFileWav: exceeded max", "Error: File too large"}));
  pcm.resize(TrackRegionBytes);
  EXPECT_EQ(Region(1, 0, TrackRegionBytes), pcm);
  EXPECT_TRUE(AllZero(Region(2, 0, 4)));
}

TEST_F(WavTest, RefusedFilesGetOneMessageInTheFixedOrderAndLeaveTheTrack) {
  const std::string path = dir + "bad.wav";
  const Bytes stereo = Pattern(400);
  Bytes odd = WavFile(2, 44100, 16, stereo);
  odd.push_back(0);
  struct Case {
    const char* what;
    Bytes file;
    ShownMessage message;
  } cases[] = {
      {"missing", {}, {"LoadFileWav: Missing File", "Error"}},
      {"short", Bytes(43, 1), {"LoadFileWav: File too short", "Error: File too short"}},
      {"mono 8-bit 22k", WavFile(1, 22050, 8, stereo), {path, "Error: Wav file not stereo"}},
      {"8-bit 22k", WavFile(2, 22050, 8, stereo), {path, "Error: Wav file not 16 bit"}},
      {"22k", WavFile(2, 22050, 16, stereo), {path, "Error: Wav file not 44k"}},
      {"odd length", odd, {path, "Error: Wav file not even length"}},
  };
  const Bytes before = FillTrack(1, 1000);
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    if (!c.file.empty()) WriteFile(path, c.file);
    fakePlatform.Reset();
    tracks[1].loopOn = 1;

    EXPECT_EQ(LoadFileWav(tracks[1], path), 0) << c.what;

    ASSERT_EQ(fakePlatform.messages.size(), 1u) << c.what;
    EXPECT_EQ(fakePlatform.messages[0], c.message) << c.what;
    EXPECT_EQ(tracks[1].loopOn, 1) << c.what;
    EXPECT_EQ(Region(1, 0, 1000), before) << c.what;
  }
}

TEST_F(WavTest, HostileChunkSizesNeverLeaveTheBytesReadOrWrite) {
  // Each chunk stands between the format chunk and a data chunk that the walk must
  // not reach by accident.
  const uint32_t sizes[] = {0x7FFFFFF0u, 0xFFFFFFF8u, 0xFFFFFF00u, 0x80000000u, 200u};
  const Bytes before = FillTrack(1, 1000);
  for (const uint32_t size : sizes) {
    Bytes file = WavFile(2, 44100, 16, {});
    file.resize(36);
    Append(file, "junk", size);
    Append(file, "data", 8);
    file.resize(file.size() + 8, 0x55);
    WriteFile(dir + "hostile.wav", file);
    fakePlatform.Reset();

    EXPECT_EQ(LoadFileWav(tracks[1], dir + "hostile.wav"), 0) << size;

    ASSERT_EQ(fakePlatform.messages.size(), 1u) << size;
    EXPECT_EQ(fakePlatform.messages[0], (ShownMessage{"LoadFileWav: no data chunk", "Error"}));
    EXPECT_EQ(Region(1, 0, 1000), before) << size;
  }
}

// "4 GB", and the 0 a recorder that crashed leaves before the audio it wrote:
// either way the audio runs to the end of the file.
TEST_F(WavTest, ADataChunkClaimingMoreOrNothingTakesWhatTheFileHolds) {
  for (const uint32_t claimed : {0xFFFFFFFFu, 0u}) {
    const Bytes pcm = Pattern(1000, claimed + 1);
    Bytes file = WavFile(2, 44100, 16, pcm);
    StoreU32(file.data() + 40, claimed);
    WriteFile(dir + "liar.wav", file);
    FillTrack(1, 5000);

    EXPECT_EQ(ImportFileTo(tracks[1], dir + "liar.wav"), 1) << claimed;

    EXPECT_EQ(Region(1, 0, 1000), pcm) << claimed;
    EXPECT_TRUE(AllZero(Region(1, 1000, 4000)));
  }
}

TEST_F(WavTest, AudioEndingInsideAFrameIsCutToWholeFrames) {
  // Found by fuzzing: a data chunk of 7 bytes behind an odd-sized chunk made a
  // loop 7 bytes long, so every pass moved the samples to the other channel.
  for (const uint32_t claimed : {7u, 0xFFFFFFFFu}) {
    Bytes file = WavFile(2, 44100, 16, {});
    file.resize(36);
    Append(file, "LIST", 25);
    file.resize(file.size() + 26, 'x');  // with its pad byte
    Append(file, "data", claimed);
    const Bytes pcm = Pattern(10);
    file.insert(file.end(), pcm.begin(), pcm.end());
    ASSERT_EQ(file.size() % 2, 0u);
    WriteFile(dir + "loop odd.wav", file);
    FillTrack(1, 100);

    EXPECT_EQ(LoadFileWav(tracks[1], dir + "loop odd.wav"), 1) << claimed;
    EXPECT_EQ(tracks[1].loopOn, 1);
    EXPECT_EQ(tracks[1].loopEnd, claimed == 7 ? 4 : 8) << claimed;
    const Bytes head = Region(1, 0, 12);
    EXPECT_TRUE(std::equal(head.begin(), head.begin() + tracks[1].loopEnd, pcm.begin()));
    EXPECT_TRUE(AllZero(Bytes(head.begin() + tracks[1].loopEnd, head.end()))) << claimed;
  }
}

TEST_F(WavTest, ImportGoesByTheContentWhateverTheName) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  // Upper case, no dot, no extension at all, another kind's, and a name too short
  // for one (relative, as a dialog never gives it).
  uint32_t seed = 1;
  for (const char* name : {"SONG.WAV", "songwav", "take", "take.mp3", "wav"}) {
    const Bytes pcm = Pattern(4000, ++seed);
    ASSERT_EQ(WriteWavFile(name, pcm.data(), 4000), 1);
    Import(name);
    EXPECT_EQ(Region(1, 0, 4000), pcm) << name;
  }
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(fakePlatform.messages.empty());

  // A name is no content: the track keeps what it had. A UTF-16 text, whose byte
  // order mark reads as an MPEG header, is no MP3 either.
  const Bytes before = Region(1, 0, 4000);
  Bytes utf16 = {0xFF, 0xFE};
  for (const char c : std::string("Take 3, bars 12 to 20\n"))
    utf16.insert(utf16.end(), {uint8_t(c), 0});
  const std::string notes = dir + "notes.wav";
  for (const Bytes& text : {Bytes(300, 'x'), utf16}) {
    WriteFile(notes, text);
    fakePlatform.Reset();
    Import(notes);
    ASSERT_EQ(fakePlatform.messages.size(), 1u);
    ExpectFailureText(fakePlatform.messages[0].text,
                      "ImportFileTo: not a WAV, AIFF, FLAC, Ogg Vorbis, Opus or MP3 file: " + notes,
                      notes);
    EXPECT_EQ(Region(1, 0, 4000), before);
  }

  // A cancelled dialog does nothing either.
  fakePlatform.Reset();
  fakePlatform.ScriptDialog(std::nullopt);
  ImportSoundFile();
  EXPECT_EQ(fakePlatform.flushes, 0);
  EXPECT_EQ(Region(1, 0, 4000), before);
}

TEST_F(WavTest, EveryChunkLayoutOfTheTracksFormatIsCopiedByteForByte) {
  const Bytes pcm = Pattern(8000, 5);
  const Bytes list = Pattern(25, 6);  // odd: a pad byte follows
  const Bytes plain = FormatBody(1, 2, 44100, 16);
  const Bytes eighteen = FormatBody(1, 2, 44100, 16, {0, 0});
  const Bytes extensible = FormatBody(0xFFFE, 2, 44100, 16, ExtensibleTail(16));
  const struct Case {
    const char* what;
    std::vector<RiffChunk> chunks;
  } cases[] = {
      {"18-byte format", {{"fmt ", eighteen}, {"data", pcm}}},
      {"extensible PCM", {{"fmt ", extensible}, {"fact", {1, 2, 3, 4}}, {"data", pcm}}},
      {"chunks before the format", {{"JUNK", Bytes(28)}, {"fmt ", plain}, {"data", pcm}}},
      {"odd chunk, padded", {{"fmt ", plain}, {"LIST", list}, {"PAD ", Bytes(3)}, {"data", pcm}}},
      {"chunks after the data", {{"fmt ", eighteen}, {"data", pcm}, {"LIST", list}, {"id3 ", {7}}}},
  };
  for (const Case& c : cases) {
    const Bytes file = RiffWave(c.chunks);
    WriteFile(dir + "layout.wav", file);
    ASSERT_TRUE(IsTrackFormatWav(file)) << c.what;
    FillTrack(1, 9000);
    fakePlatform.Reset();

    Import(dir + "layout.wav");

    EXPECT_TRUE(fakePlatform.messages.empty()) << c.what;
    EXPECT_EQ(Region(1, 0, 8000), pcm) << c.what;
    EXPECT_TRUE(AllZero(Region(1, 8000, 1000))) << c.what;
  }
  // Close to the tracks' format is not it: these are converted.
  EXPECT_FALSE(IsTrackFormatWav(RiffWave({{"fmt ", FormatBody(3, 2, 44100, 16)}})));
  EXPECT_FALSE(IsTrackFormatWav(
      RiffWave({{"fmt ", FormatBody(0xFFFE, 2, 44100, 16, ExtensibleTail(16, 3))}})));
  EXPECT_FALSE(IsTrackFormatWav(RiffWave({{"fmt ", FormatBody(1, 2, 48000, 16)}})));
  EXPECT_FALSE(IsTrackFormatWav(RiffWave({{"data", pcm}, {"fmt ", plain}})));
  Bytes notWave = RiffWave({{"fmt ", plain}, {"data", pcm}});
  notWave[8] = '@';
  EXPECT_FALSE(IsTrackFormatWav(notWave));
}

TEST_F(WavTest, TheHeaderIsTheCanonicalFortyFourBytes) {
  uint8_t header[44];
  BuildWavHeader(header, 49568400);
  const uint8_t expected[44] = {'R', 'I', 'F',  'F',  0xB4, 0x5A, 0xF4, 0x02, 'W',  'A',  'V',
                                'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,    0,
                                2,   0,   0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,    4,
                                0,   16,  0,    'd',  'a',  't',  'a',  0x90, 0x5A, 0xF4, 0x02};
  EXPECT_EQ(std::memcmp(header, expected, 44), 0);
}

TEST_F(WavTest, AFullSongWavIsReadByOtherProgramsAsTwoHundredEightyOneSeconds) {
  const std::string path = dir + "song.wav";
  std::memset(song.workBuffer.get(), 0, TrackRegionBytes);
  ASSERT_EQ(WriteWavFile(path, song.workBuffer.get(), TrackRegionBytes), 1);
  EXPECT_EQ(FileSize(path), 49568444);
  const Bytes head = ReadFile(path);
  EXPECT_EQ(LoadU32(head.data() + 4), 49568436u);
  if (!HaveTool("soxi")) GTEST_SKIP() << "soxi is not installed";
  const std::string out = dir + "soxi.txt";
  ASSERT_EQ(RunShell("soxi -D '" + path + "' >'" + out + "' 2>&1"), 0);
  const Bytes text = ReadFile(out);
  EXPECT_EQ(std::string(text.begin(), text.end()), "281.000000\n");
}

TEST_F(WavTest, AWavThatCannotBeWrittenWholeIsReportedAndRemoved) {
  const Bytes pcm = Pattern(BytesPerSecond);
  EXPECT_EQ(WriteWavFile(dir + "no/such/folder.wav", pcm.data(), BytesPerSecond), 0);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0].caption, "Error");
  ExpectFailureText(fakePlatform.messages[0].text, "WriteWavFile - failed",
                    dir + "no/such/folder.wav", "No such file or directory");

  {
    FileSizeLimit full(100000);
    EXPECT_EQ(WriteWavFile(dir + "full.wav", pcm.data(), BytesPerSecond), 0);
  }
  ASSERT_EQ(fakePlatform.messages.size(), 2u);
  ExpectFailureText(fakePlatform.messages[1].text, "WriteWavFile - failed", dir + "full.wav",
                    "File too large");
  EXPECT_FALSE(std::filesystem::exists(dir + "full.wav"));
}

}  // namespace
