// Faults from outside the program, met through the whole program: a disk that
// fills up under an import, an export or the end of a take, a working folder that
// cannot be written at start, and a sound card that hands back short buffers.
// Each is said in a message, and what the song held before is still there.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "codecs/import.h"
#include "codecs/wav.h"
#include "program_fixture.h"
#include "song_fixture.h"

namespace {

const ShownMessage kImportFull{"Not enough disk space to import the file", "Error"};
const ShownMessage kTakeLost{"Not enough disk space to save the recording", "Error"};
const ShownMessage kNoSong{
    "No song is open, so there is nowhere to record or import. Open a song or start a new one "
    "first.",
    "Error"};

class FaultsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
    ASSERT_EQ(SongFileIsOpen(), 1);
    // Track 1 holds a take the faults below must not touch.
    kept = Pattern(2 * BytesPerSecond, 11);
    ASSERT_EQ(FileWrite(tracks[1], kept.data(), 0, static_cast<int32_t>(kept.size())),
              static_cast<int64_t>(kept.size()));
    fakePlatform.Reset();
  }

  void ExpectKeptTake() const { EXPECT_EQ(RegionOf(songPath, 1, 0, kept.size()), kept); }

  Bytes kept;
};

TEST_F(FaultsTest, AnImportTheDiskCannotHoldIsSaidAndLeavesTheRestOfTheSong) {
  // Track 2 lies far beyond what the disk will take.
  song.armedTrack = 2;
  tracks[2].loopOn = 0;
  const Bytes old = Pattern(BytesPerSecond, 4);
  ASSERT_EQ(FileWrite(tracks[2], old.data(), 0, BytesPerSecond), BytesPerSecond);
  const Bytes audio = Pattern(3 * BytesPerSecond, 5);
  const std::string path = WriteTrackWav(folder / "loop drums.wav", audio);
  {
    FileSizeLimit full(10'000'000);
    Command(geometry::kImport, path);
  }
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{kImportFull}));
  EXPECT_EQ(tracks[2].loopOn, 0) << "a failed import must not start a loop";
  EXPECT_EQ(RegionOf(songPath, 2, 0, old.size()), old);
  ExpectKeptTake();

  // With room again the same file goes in, silently.
  fakePlatform.Reset();
  Command(geometry::kImport, path);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(RegionOf(songPath, 2, 0, audio.size()), audio);
  EXPECT_EQ(tracks[2].loopOn, 1);
  song.armedTrack = 0;
}

TEST_F(FaultsTest, ATakeTheDiskCannotHoldIsSaidAtTheStop) {
  const Bytes old = Pattern(3 * BytesPerSecond, 6);
  ASSERT_EQ(FileWrite(tracks[3], old.data(), 0, 3 * BytesPerSecond), 3 * BytesPerSecond);
  const Bytes take = Pattern(2 * BytesPerSecond, 7);
  RecordTake(3, take, 2000);
  {
    // Track 3 starts about 100 MB into the song file.
    FileSizeLimit full(50'000'000);
    Stop();
  }
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{kTakeLost}));
  EXPECT_EQ(song.running, 0);
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_EQ(RegionOf(songPath, 3, 0, old.size()), old) << "the old take is still whole";
  ExpectKeptTake();

  // The next take, with room, is written and not reported.
  fakePlatform.Reset();
  RecordTake(3, take, 2000);
  Stop();
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(RegionOf(songPath, 3, 0, take.size()), take);
}

TEST_F(FaultsTest, ExportsTheDiskCannotHoldAreSaidAndLeaveNoFile) {
  Click(Middle(geometry::Speaker(1)));  // the kept take is heard, so neither export is tiny
  ASSERT_EQ(tracks[1].playOn, 1);
  const std::string wav = folder.string() + "/mix.wav";
  const std::string ogg = folder.string() + "/mix.ogg";
  {
    FileSizeLimit full(20'000);
    Command(geometry::kExport, wav);
    Command(geometry::kExport, ogg);
  }
  ASSERT_EQ(fakePlatform.messages.size(), 2u);
  EXPECT_EQ(fakePlatform.messages[0].text, "WriteWavFile - failed\n" + wav + ": File too large");
  EXPECT_EQ(fakePlatform.messages[1].text, "ExportSave - failed\n" + ogg + ": File too large");
  EXPECT_FALSE(std::filesystem::exists(wav));
  EXPECT_FALSE(std::filesystem::exists(ogg));
  EXPECT_EQ(songPath, WorkingFile());
  ExpectKeptTake();
}

TEST_F(FaultsTest, ShortBuffersFromTheCardStillMakeOneUnbrokenTake) {
  Click(Middle(geometry::Arm(4)));
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  const Bytes take = Pattern(BytesPerSecond, 9);
  // The take comes back in buffers handed back early, as some cards do at odd
  // moments, each saying where it belongs, between whole ones.
  const size_t pieces[] = {4000, 4, 16384, 12, 776, 12000, 8, 9996};
  size_t at = 0;
  for (size_t k = 0; at < take.size(); ++k) {
    ASSERT_FALSE(fakeWaveIn.queued.empty());
    WaveHeader* h = fakeWaveIn.queued.front();
    const size_t n =
        std::min({pieces[k % std::size(pieces)], size_t{h->bufferLength}, take.size() - at});
    std::memcpy(h->data, take.data() + at, n);
    h->bytesRecorded = static_cast<uint32_t>(n);
    h->timelineFrame = static_cast<int64_t>(at / 4);
    h->done = 1;
    fakeWaveIn.queued.erase(fakeWaveIn.queued.begin());
    fakePlatform.Post({MM_WIM_DATA, fakeWaveIn.generation, reinterpret_cast<intptr_t>(h)});
    fakePlatform.Pump();
    at += n;
  }
  fakePlatform.Advance(1000);
  Stop();
  EXPECT_TRUE(fakePlatform.messages.empty());
  const Bytes stored = RegionOf(songPath, 4, 0, take.size());
  const auto [mismatch, unused] = std::mismatch(stored.begin(), stored.end(), take.begin());
  EXPECT_EQ(mismatch - stored.begin(), std::ssize(take));
  ExpectKeptTake();
}

// Start-up with a working folder that cannot be written: the program says so once
// and then refuses, with a message, whatever would need the song file.
class UnwritableStartTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // A folder inside a regular file: no user, root included, can create it.
    std::ofstream(folder / "file") << "x";
    workDir = (folder / "file" / "sonavel").string() + "/";
  }
};

TEST_F(UnwritableStartTest, NoWorkingFileIsSaidAndNothingPretendsToBeKept) {
  Paint();
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{{"SongFileInit - failed", "Error"}}));
  EXPECT_EQ(SongFileIsOpen(), 0);

  fakePlatform.Reset();
  Click(Middle(geometry::Arm(2)));
  Click(Middle(geometry::kPlay));
  Sing(Pattern(BytesPerSecond, 3));
  fakePlatform.Advance(1000);
  Click(Middle(geometry::kStop));
  Click(Middle(geometry::Arm(2)));
  const std::string wav = WriteTrackWav(folder / "in.wav", Pattern(400, 1));
  fakePlatform.ScriptDialog(wav);
  Click(Middle(geometry::kImport));
  fakePlatform.ScriptDialog(folder.string() + "/a.svl");
  Click(Middle(geometry::kSave));
  EXPECT_EQ(
      fakePlatform.messages,
      (std::vector<ShownMessage>{
          kNoSong,
          kNoSong,
          {"File could not be saved. Try a different filename or drive.", "Save File Error"}}));
  EXPECT_EQ(fakePlatform.dialogs.size(), 1u) << "no file is asked for an import with nowhere to go";
  EXPECT_FALSE(std::filesystem::exists(folder / "a.svl"));
}

TEST_F(UnwritableStartTest, AFullDiskAtTheFirstPaintIsSaid) {
  workDir = programDir;
  {
    FileSizeLimit full(0);
    Paint();
  }
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{{"Not enough disk space to create a song", "Error"}}));
}

TEST_F(UnwritableStartTest, AProgramFolderThatCannotBeWrittenSendsTheSongToTheDataFolder) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> keep = saved ? std::optional<std::string>(saved) : std::nullopt;
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
  programDir = (folder / "file").string() + "/";
  ChooseWorkDir();
  EXPECT_EQ(workDir, (folder / "sonavel").string() + "/");
  Paint();
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(folder / "sonavel" / "default.svl"));

  // The data folder unwritable as well: said once at the first paint of a new run.
  ::setenv("XDG_DATA_HOME", (folder / "file").c_str(), 1);
  ChooseWorkDir();
  EXPECT_EQ(workDir, (folder / "file" / "sonavel").string() + "/");
  if (keep) {
    ::setenv("XDG_DATA_HOME", keep->c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
  programDir = folder.string() + "/";
}

}  // namespace
