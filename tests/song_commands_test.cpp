#include "song/song_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "panel/commands.h"
#include "song/notices.h"
#include "song/unsaved.h"
#include "song_fixture.h"

namespace {

constexpr int64_t kFullSong = 396555200;
constexpr const char* kCouldNotSave = "File could not be saved. Try a different filename or drive.";
// With no song open there is no file to name.
const ShownMessage kSaveError{kCouldNotSave, "Save File Error"};
// A save that failed on its way to `name`, for the system's reason.
ShownMessage SaveError(const std::string& name, const std::string& reason) {
  return {std::string(kCouldNotSave) + "\n" + name + ": " + reason, "Save File Error"};
}

class SongCommandsTest : public SongFolderTest {
 protected:
  // A working song with one second of pattern at the start of track 1.
  void StartWorkingSong() {
    ASSERT_EQ(SongFileInit(), 1);
    FillPattern(BytesPerSecond);
    ASSERT_EQ(FileWrite(tracks[1], song.workBuffer.get(), 0, BytesPerSecond), BytesPerSecond);
  }
  // A named song on disk: header, then `audio` bytes of pattern in track 1.
  std::string MakeSong(const std::string& name, size_t audio) {
    std::vector<uint8_t> bytes(8000 + audio, 0);
    bytes[0] = 2;
    bytes[2] = 33;  // track 1's volume
    for (size_t p = 0; p < audio; ++p) bytes[8000 + p] = PatternByte(static_cast<int64_t>(p));
    WriteFile(dir + name, bytes);
    return dir + name;
  }
  bool HoldsPattern(const std::string& path, size_t audio) {
    const auto bytes = ReadBytes(path, 8000, audio);
    if (bytes.size() != audio) return false;
    for (size_t p = 0; p < audio; ++p) {
      if (bytes[p] != PatternByte(static_cast<int64_t>(p))) return false;
    }
    return true;
  }
};

TEST_F(SongCommandsTest, SameFileNameMeansTheSameFile) {
  const std::string a = MakeSong("a.svl", 0);
  ASSERT_EQ(::mkdir((dir + "sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(a.c_str(), (dir + "link.svl").c_str()), 0);
  ASSERT_EQ(::link(a.c_str(), (dir + "hard.svl").c_str()), 0);

  EXPECT_TRUE(SameFileName(a, a));
  EXPECT_TRUE(SameFileName(a, dir + "sub/../a.svl"));
  EXPECT_TRUE(SameFileName(a, dir + "./link.svl"));
  EXPECT_TRUE(SameFileName(dir + "hard.svl", a));
  // Linux names are case-sensitive: A.svl beside a.svl is another file.
  EXPECT_FALSE(SameFileName(a, dir + "A.svl"));
  EXPECT_FALSE(SameFileName(dir + "A.svl", a));
  // Names of files that do not exist yet compare by where they would be.
  EXPECT_TRUE(SameFileName(dir + "new.svl", dir + "sub/../new.svl"));
  EXPECT_FALSE(SameFileName(dir + "new.svl", dir + "sub/new.svl"));
  EXPECT_FALSE(SameFileName("", ""));
  EXPECT_FALSE(SameFileName(a, ""));
}

TEST_F(SongCommandsTest, SaveAsMovesTheWorkingFileAndRemembersTheName) {
  StartWorkingSong();
  ASSERT_EQ(::mkdir((dir + "songs").c_str(), 0755), 0);
  const std::string target = dir + "songs/a.svl";
  tracks[2].volume = 57;
  fakePlatform.ScriptDialog(target);
  SaveSongAs();

  ASSERT_EQ(fakePlatform.dialogs.size(), 1u);
  const DialogCall& call = fakePlatform.dialogs[0];
  EXPECT_TRUE(call.save);
  EXPECT_EQ(call.startName, "");
  ASSERT_EQ(call.filters.size(), 1u);
  EXPECT_EQ(call.filters[0].text, "Sonavel File (*.svl)");
  EXPECT_EQ(call.filters[0].pattern, "*.svl");
  EXPECT_TRUE(fakePlatform.messages.empty());

  EXPECT_EQ(FileSize(dir + "default.svl"), -1);
  EXPECT_EQ(songPath, target);
  EXPECT_EQ(SongFileIsOpen(), 1);
  EXPECT_EQ(FileSize(target), 8000 + BytesPerSecond);
  EXPECT_TRUE(HoldsPattern(target, BytesPerSecond));
  EXPECT_EQ(ReadBytes(target, 1 + 33 + 1, 1)[0], 57);

  // Later writes go into the saved song.
  const uint8_t take[4] = {9, 8, 7, 6};
  EXPECT_EQ(FileWrite(tracks[4], take, 0, 4), 4);
  EXPECT_EQ(ReadBytes(target, 8000 + 3 * int64_t{TrackRegionBytes}, 4),
            std::vector<uint8_t>(take, take + 4));

  // The next save starts from the name chosen last; cancelling changes nothing.
  fakePlatform.ScriptDialog(std::nullopt);
  SaveSongAs();
  ASSERT_EQ(fakePlatform.dialogs.size(), 2u);
  EXPECT_EQ(fakePlatform.dialogs[1].startName, target);
  EXPECT_EQ(songPath, target);
}

TEST_F(SongCommandsTest, TheWorkingFileNameIsRefusedInItsFolderInAnyCase) {
  StartWorkingSong();
  ASSERT_EQ(::mkdir((dir + "songs").c_str(), 0755), 0);
  for (const std::string& name : {dir + "default.svl", dir + "songs/../default.svl",
                                  dir + "DEFAULT.SVL", dir + "songs/../Default.Svl"}) {
    fakePlatform.Reset();
    EXPECT_EQ(SaveSongTo(name), 0);
    ASSERT_EQ(fakePlatform.messages.size(), 1u);
    EXPECT_EQ(fakePlatform.messages[0],
              (ShownMessage{"Try again. Do not save as default.svl", "Filename Error"}));
    EXPECT_EQ(songPath, dir + "default.svl");
    EXPECT_EQ(ReadBytes(songPath, 0, 1)[0], 0) << "nothing is written";
  }
  // A file of that name in another folder is an ordinary song.
  ASSERT_EQ(::mkdir((dir + "other").c_str(), 0755), 0);
  fakePlatform.Reset();
  EXPECT_EQ(SaveSongTo(dir + "other/default.svl"), 1);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(songPath, dir + "other/default.svl");
  EXPECT_TRUE(HoldsPattern(songPath, BytesPerSecond));
}

TEST_F(SongCommandsTest, SavingUnderTheOpenSongsOwnNameOnlyRewritesItsHeader) {
  const std::string a = MakeSong("a.svl", 1000);
  ASSERT_EQ(::symlink(a.c_str(), (dir + "alias.svl").c_str()), 0);
  ASSERT_EQ(SongFileOpen(a), 1);
  EXPECT_EQ(tracks[1].volume, 33);
  tracks[1].volume = 44;
  for (const std::string& name : {a, dir + "./a.svl", dir + "alias.svl"}) {
    EXPECT_EQ(SaveSongTo(name), 0);
  }
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(songPath, a);
  EXPECT_EQ(SongFileIsOpen(), 1);
  EXPECT_EQ(FileSize(a), 9000);
  EXPECT_EQ(ReadBytes(a, 2, 1)[0], 44);
  EXPECT_TRUE(HoldsPattern(a, 1000));
}

TEST_F(SongCommandsTest, SaveAsFromANamedSongCopiesAFullSizeSong) {
  const std::string a = MakeSong("a.svl", 5000);
  ASSERT_EQ(SongFileOpen(a), 1);
  tracks[8].playOn = 1;
  const std::string b = dir + "b.svl";
  WriteFile(b, std::vector<uint8_t>(100, 0x77));  // replaced, as the dialog confirmed

  EXPECT_EQ(SaveSongTo(b), 1);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(songPath, b);
  EXPECT_EQ(FileSize(b), kFullSong);
  // The source keeps its audio and gets the settings in its header.
  EXPECT_EQ(FileSize(a), 13000);
  EXPECT_TRUE(HoldsPattern(a, 5000));
  EXPECT_EQ(ReadBytes(a, 1 + 7 * 33, 1)[0], 1);

  EXPECT_EQ(ReadBytes(b, 0, 8000), ReadBytes(a, 0, 8000));
  EXPECT_TRUE(HoldsPattern(b, 5000));
  // Everything the source did not hold is silence, read in region-sized steps.
  std::ifstream in(b, std::ios::binary);
  in.seekg(13000);
  std::vector<char> chunk(1 << 22);
  int64_t nonZero = 0, total = 0;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) nonZero += chunk[i] != 0;
    total += in.gcount();
  }
  EXPECT_EQ(total, kFullSong - 13000);
  EXPECT_EQ(nonZero, 0);
}

TEST_F(SongCommandsTest, AFullDiskKeepsTheOpenSongAndLeavesNoPartialCopy) {
  // More audio than the disk has room for, so the copy fails in the middle.
  const size_t audio = 30'000'000;
  const std::string a = MakeSong("a.svl", audio);
  ASSERT_EQ(SongFileOpen(a), 1);
  const std::string b = dir + "b.svl";
  {
    FileSizeLimit full(20'000'000);
    EXPECT_EQ(SaveSongTo(b), 0);
  }
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0], SaveError(b, "File too large"));
  EXPECT_EQ(FileSize(b), -1);
  EXPECT_EQ(songPath, a);
  EXPECT_EQ(SongFileIsOpen(), 1);
  EXPECT_EQ(FileSize(a), 8000 + static_cast<int64_t>(audio));
  EXPECT_TRUE(HoldsPattern(a, audio));

  // A copy that fits but whose silent tail would not.
  const std::string small = MakeSong("small.svl", 5000);
  ASSERT_EQ(SongFileOpen(small), 1);
  fakePlatform.Reset();
  {
    FileSizeLimit full(60'000'000);
    EXPECT_EQ(SaveSongTo(b), 0);
  }
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{SaveError(b, "File too large")}));
  EXPECT_EQ(FileSize(b), -1);
  EXPECT_EQ(songPath, small);
}

TEST_F(SongCommandsTest, FailedMovesAndCopiesReopenThePreviousSong) {
  // The move cannot reach a folder that does not exist: the working song stays.
  StartWorkingSong();
  EXPECT_EQ(SaveSongTo(dir + "nowhere/a.svl"), 0);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0],
            SaveError(dir + "nowhere/a.svl", "No such file or directory"));
  EXPECT_EQ(songPath, dir + "default.svl");
  EXPECT_TRUE(HoldsPattern(songPath, BytesPerSecond));

  // A named song whose copy cannot be created.
  const std::string a = MakeSong("a.svl", 100);
  SongFileClose();
  ASSERT_EQ(SongFileOpen(a), 1);
  fakePlatform.Reset();
  EXPECT_EQ(SaveSongTo(dir + "nowhere/b.svl"), 0);
  const std::string nowhere = dir + "nowhere/b.svl";
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{
                {"CopySongFile - dest failed\n" + nowhere + ": No such file or directory", "Error"},
                SaveError(nowhere, "No such file or directory")}));
  EXPECT_EQ(songPath, a);
  EXPECT_TRUE(HoldsPattern(a, 100));

  // A source that vanished.
  fakePlatform.Reset();
  EXPECT_EQ(CopySongFile(dir + "gone.svl", dir + "c.svl"), 0);
  EXPECT_EQ(
      fakePlatform.messages,
      (std::vector<ShownMessage>{
          {"CopySongFile - failed\n" + dir + "gone.svl: No such file or directory", "Error"}}));
  EXPECT_EQ(FileSize(dir + "c.svl"), -1);

  // With no song open there is nothing to save.
  SongFileCloseOnly();
  fakePlatform.Reset();
  EXPECT_EQ(SaveSongTo(dir + "d.svl"), 0);
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{kSaveError}));
  EXPECT_EQ(FileSize(dir + "d.svl"), -1);
}

TEST_F(SongCommandsTest, MoveAcrossFilesystemsCopiesThenRemovesTheWorkingFile) {
  char pattern[] = "/dev/shm/sonavel-song-XXXXXX";
  if (mkdtemp(pattern) == nullptr) GTEST_SKIP() << "no second filesystem";
  const std::string shm = std::string(pattern) + "/";
  workDir = shm;
  StartWorkingSong();
  const std::string target = dir + "a.svl";

  // A full disk on the far side: the working song stays where it was.
  {
    FileSizeLimit full(100'000);
    EXPECT_EQ(SaveSongTo(target), 0);
  }
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{SaveError(target, "File too large")}));
  EXPECT_EQ(FileSize(target), -1);
  EXPECT_EQ(songPath, shm + "default.svl");
  EXPECT_TRUE(HoldsPattern(songPath, BytesPerSecond));

  fakePlatform.Reset();
  EXPECT_EQ(SaveSongTo(target), 1);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(FileSize(shm + "default.svl"), -1);
  EXPECT_EQ(songPath, target);
  EXPECT_EQ(FileSize(target), 8000 + BytesPerSecond);
  EXPECT_TRUE(HoldsPattern(target, BytesPerSecond));
  std::filesystem::remove_all(shm);
}

TEST_F(SongCommandsTest, OpenLeavesTheWorkingSongAndLoadsTheChosenOne) {
  StartWorkingSong();
  const std::string a = MakeSong("a.svl", 10);
  fakePlatform.ScriptDialog(a);
  OpenSong();
  ASSERT_EQ(fakePlatform.dialogs.size(), 1u);
  EXPECT_FALSE(fakePlatform.dialogs[0].save);
  EXPECT_EQ(fakePlatform.dialogs[0].startName, "");
  ASSERT_EQ(fakePlatform.dialogs[0].filters.size(), 1u);
  EXPECT_EQ(fakePlatform.dialogs[0].filters[0].text, "Sonavel File (*.svl)");
  EXPECT_EQ(FileSize(dir + "default.svl"), -1);
  EXPECT_EQ(songPath, a);
  EXPECT_EQ(tracks[1].volume, 33);

  // Cancelling keeps the song, and so does a file that cannot be opened.
  fakePlatform.ScriptDialog(std::nullopt);
  OpenSong();
  EXPECT_EQ(songPath, a);
  fakePlatform.ScriptDialog(dir + "missing.svl");
  OpenSong();
  EXPECT_EQ(fakePlatform.dialogs.back().startName, "");
  EXPECT_EQ(
      fakePlatform.messages,
      (std::vector<ShownMessage>{
          {"SongFileOpen - failed\n" + dir + "missing.svl: No such file or directory", "Error"}}));
  EXPECT_EQ(songPath, a);
  EXPECT_EQ(SongFileIsOpen(), 1);
}

// Whatever stops the chosen file from being opened, the open song stays open and
// the chosen file is not written.
TEST_F(SongCommandsTest, AFailedOpenKeepsTheOpenSongAndTheFileAsItWas) {
  StartWorkingSong();
  const std::string wav = dir + "take.svl", readOnly = MakeSong("ro.svl", 10);
  WriteFile(wav, WavFile(2, 44100, 16, Pattern(400)));
  ::chmod(readOnly.c_str(), 0444);
  const std::string held = MakeSong("held.svl", 10);
  const FileHandle other = FileHandle::Open(held, O_RDONLY);
  ASSERT_EQ(other.TryLock(), FileHandle::Lock::Held);
  const std::string failed = "SongFileOpen - failed\n";
  std::vector<std::pair<std::string, std::string>> cases = {
      {wav, failed + wav + ": not a Sonavel song"},
      {held, "Another Sonavel window has the song " + held + " open. Close it there first."},
      // Leaving the working song would move it away before it could be opened.
      {songPath, failed + songPath + ": it is already the open song"},
  };
  if (::geteuid() != 0) cases.push_back({readOnly, failed + readOnly + ": Permission denied"});
  for (const auto& [path, message] : cases) {
    const Bytes before = ReadFile(path);
    fakePlatform.Reset();
    EXPECT_EQ(OpenSongFrom(path), 0);
    ASSERT_EQ(fakePlatform.messages.size(), 1u) << path;
    EXPECT_EQ(fakePlatform.messages[0].text, message);
    EXPECT_EQ(songPath, dir + "default.svl");
    EXPECT_EQ(ReadFile(path), before) << path;
  }
  EXPECT_TRUE(HoldsPattern(songPath, BytesPerSecond));
}

// While Save As moves or copies a song, no other window can take it, nor the
// copy: both stay locked until the copy is complete.
TEST_F(SongCommandsTest, SaveAsKeepsTheSongLockedUntilTheCopyIsComplete) {
  static std::string source, copy;
  static int steps = 0, unheld = 0;
  InstallSongNotices({.progress = [](int value) {
    steps += value != 0;
    unheld += value != 0 && !(SongFileHeldElsewhere(source) && SongFileHeldElsewhere(copy));
  }});
  source = MakeSong("a.svl", 1000);
  copy = dir + "b.svl";
  ASSERT_EQ(SongFileOpen(source), 1);
  EXPECT_EQ(SaveSongTo(copy), 1);
  char pattern[] = "/dev/shm/sonavel-song-XXXXXX";
  if (mkdtemp(pattern) != nullptr) {  // across filesystems the move is a copy
    workDir = std::string(pattern) + "/";
    StartWorkingSong();
    source = songPath;
    copy = dir + "c.svl";
    EXPECT_EQ(SaveSongTo(copy), 1);
    EXPECT_FALSE(std::filesystem::exists(source));
    std::filesystem::remove_all(pattern);
  }
  InstallSongNotices({});
  EXPECT_GE(steps, 8);
  EXPECT_EQ(unheld, 0);
  EXPECT_EQ(SongFileHeldElsewhere(copy), 1);
}

}  // namespace
