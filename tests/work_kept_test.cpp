// Nothing the user made is destroyed: a second window leaves the first one's song
// alone, a song another program holds is neither opened nor saved over, a working
// song that holds anything is kept when it is left, and takes and imports can be
// undone and redone.
#include <fcntl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/menus.h"
#include "base/file_handle.h"
#include "base/paths.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/undo.h"
#include "song/unsaved.h"

namespace {

const ShownMessage kNoSong{
    "No song is open, so there is nowhere to record or import. Open a song or start a new one "
    "first.",
    "Error"};

// Another running program with the song file open: it holds the lock.
FileHandle HeldByAnotherProgram(const std::string& path) {
  FileHandle held = FileHandle::Open(path, O_RDWR);
  EXPECT_EQ(held.TryLock(), FileHandle::Lock::Held);
  return held;
}

std::vector<std::filesystem::path> Kept() {
  std::vector<std::filesystem::path> kept;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(UnsavedFolder(), ec)) {
    kept.push_back(entry.path());
  }
  return kept;
}

class WorkKeptTest : public ProgramTest {
 protected:
  // Imports pcm as a WAV file of that name into track t.
  void ImportInto(int t, const std::string& name, const Bytes& pcm) {
    if (song.armedTrack != t) Click(Middle(geometry::Arm(t)));
    Command(geometry::kImport, WriteTrackWav(folder / name, pcm));
  }
};

TEST_F(WorkKeptTest, ASecondWindowLeavesTheFirstWindowsSongAlone) {
  std::vector<uint8_t> first(SongHeaderBytes + 4 * BytesPerSecond, 0);
  first[0] = 2;
  std::copy_n(Pattern(4 * BytesPerSecond).begin(), 4 * BytesPerSecond,
              first.begin() + SongHeaderBytes);
  WriteFile(WorkingFile(), first);
  const FileHandle held = HeldByAnotherProgram(WorkingFile());

  Paint();
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0].caption, "Song in use");
  EXPECT_NE(fakePlatform.messages[0].text.find(folder.string() + ". "), std::string::npos);
  EXPECT_EQ(SongFileIsOpen(), 0);

  // Nothing is recorded or imported into nowhere; the window still opens songs.
  fakePlatform.Reset();
  Click(Middle(geometry::Arm(2)));
  Click(Middle(geometry::kPlay));
  EXPECT_EQ(song.running, 0);
  Click(Middle(geometry::kImport));
  EXPECT_EQ(fakePlatform.messages, (std::vector<ShownMessage>{kNoSong, kNoSong}));
  EXPECT_TRUE(fakePlatform.dialogs.empty());

  SongFileClose();  // what leaving the program does to the song
  EXPECT_EQ(ReadFile(WorkingFile()), first);
  EXPECT_TRUE(Kept().empty());
}

TEST_F(WorkKeptTest, ASongAnotherProgramHoldsIsNeitherOpenedNorSavedOver) {
  Paint();
  const std::string other = folder.string() + "/other.svl";
  WriteFile(other, Bytes(SongHeaderBytes, 0));
  FileHandle held = HeldByAnotherProgram(other);
  tracks[3].volume = 44;

  fakePlatform.Reset();
  Command(geometry::kOpen, other);
  Command(geometry::kSave, other);
  ASSERT_EQ(fakePlatform.messages.size(), 2u);
  for (const ShownMessage& m : fakePlatform.messages) {
    EXPECT_EQ(m.caption, "Song in use");
    EXPECT_NE(m.text.find(other), std::string::npos);
  }
  EXPECT_EQ(songPath, WorkingFile()) << "the song that was open stays open";
  EXPECT_EQ(tracks[3].volume, 44);
  EXPECT_EQ(ReadFile(other), Bytes(SongHeaderBytes, 0));

  // Once the other program lets go, it opens as any song does.
  held.Close();
  fakePlatform.Reset();
  Command(geometry::kOpen, other);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(songPath, other);
  EXPECT_EQ(SongFileHeldElsewhere(other), 1) << "and this program holds it now";
}

TEST_F(WorkKeptTest, LeavingAWorkingSongThatHoldsAnythingKeepsItWhole) {
  Paint();
  // Untouched, a working song leaves nothing behind.
  Click(Middle(geometry::kNew));
  EXPECT_TRUE(Kept().empty());

  // An import, left by New; a volume alone, left by Open; a take, left by the
  // program's end: each is kept exactly, audio and settings.
  const Bytes audio = Pattern(BytesPerSecond, 8);
  ImportInto(2, "a.wav", audio);
  Click(Middle(geometry::kNew));
  ASSERT_EQ(Kept().size(), 1u);
  EXPECT_EQ(RegionOf(Kept()[0], 2, 0, audio.size()), audio);
  EXPECT_EQ(FileSize(Kept()[0]), SongHeaderBytes + TrackRegionBytes * 2);

  tracks[5].volume = 60;
  const std::string other = folder.string() + "/other.svl";
  WriteFile(other, Bytes(SongHeaderBytes, 0));
  Command(geometry::kOpen, other);
  ASSERT_EQ(Kept().size(), 2u);

  Click(Middle(geometry::kNew));
  RecordTake(4, Pattern(BytesPerSecond, 9), 1000);
  AppShutdown();
  ASSERT_EQ(Kept().size(), 3u);
  for (const auto& kept : Kept()) {
    const Bytes header = ReadBytes(kept, 0, 265);
    const bool volumeKept = header[1 + 4 * 33 + 1] == 60;
    const bool takeKept = FileSize(kept) > SongHeaderBytes + 3 * int64_t{TrackRegionBytes};
    const bool importKept = RegionOf(kept, 2, 0, audio.size()) == audio;
    EXPECT_EQ(volumeKept + takeKept + importKept, 1) << kept;
  }
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
}

TEST_F(WorkKeptTest, TakesAndImportsAreUndoneAndRedoneExactly) {
  Paint();
  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo");
  EXPECT_FALSE(Entry(kUndoCommand).enabled);
  EXPECT_FALSE(Entry(kRedoCommand).enabled);
  const auto track1 = [&] { return RegionOf(songPath, 1, 0, 4 * BytesPerSecond); };

  const Bytes loop = Pattern(3 * BytesPerSecond, 1);
  ImportInto(1, "loop one.wav", loop);
  const Bytes afterLoop = track1();
  ASSERT_EQ(tracks[1].loopOn, 1);

  // A take over the looping import; Undo while the transport runs stops it first.
  RecordTake(1, Pattern(2 * BytesPerSecond, 2), 2000);
  Stop();
  const Bytes afterTake = track1();
  ASSERT_NE(afterTake, afterLoop);
  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo Recording on Track 1");
  EXPECT_TRUE(Entry(kUndoCommand).enabled);
  Click(Middle(geometry::kPlay));
  Menu(kUndoCommand);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(track1(), afterLoop);
  EXPECT_EQ(tracks[1].loopOn, 1);
  EXPECT_EQ(tracks[1].loopStart, 0);
  EXPECT_EQ(tracks[1].loopEnd, static_cast<int32_t>(loop.size()));
  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo Import on Track 1") << "the step before it is next";
  EXPECT_EQ(Entry(kRedoCommand).text, "&Redo Recording on Track 1");
  Menu(kRedoCommand);
  EXPECT_EQ(track1(), afterTake);
  EXPECT_EQ(tracks[1].loopOn, 0);

  // An import over the take, taken back and forth the same way.
  const Bytes two = Pattern(BytesPerSecond, 3);
  ImportInto(1, "two.wav", two);
  const Bytes afterTwo = track1();
  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo Import on Track 1");
  Menu(kUndoCommand);
  EXPECT_EQ(track1(), afterTake);
  EXPECT_EQ(Entry(kRedoCommand).text, "&Redo Import on Track 1");
  Menu(kRedoCommand);
  EXPECT_EQ(track1(), afterTwo);
  EXPECT_EQ(FileSize(songPath), SongHeaderBytes + int64_t{TrackRegionBytes});
  EXPECT_TRUE(fakePlatform.messages.empty());

  // A new song has nothing to undo.
  Menu(kUndoCommand);
  Click(Middle(geometry::kNew));
  EXPECT_FALSE(Entry(kUndoCommand).enabled);
  EXPECT_FALSE(Entry(kRedoCommand).enabled);
}

// Undo data that cannot be written costs nothing but the undo: of the take, and
// of what came before it, which no longer lies under the track as it is.
TEST_F(WorkKeptTest, WithoutRoomForUndoDataTheTakeIsStillWritten) {
  Paint();
  ImportInto(2, "before.wav", Pattern(BytesPerSecond, 5));
  ASSERT_TRUE(Entry(kUndoCommand).enabled);
  PrepareUndo();
  const auto cache = std::filesystem::path(UserFolder("XDG_CACHE_HOME", ".cache")).parent_path();
  const std::filesystem::path aside = cache.string() + ".aside";
  std::filesystem::rename(cache, aside);
  WriteFile(cache, Bytes{1});  // a file where the folder was

  const Bytes take = Pattern(BytesPerSecond, 4);
  RecordTake(2, take, 1000);
  Stop();
  std::filesystem::remove(cache);
  std::filesystem::rename(aside, cache);

  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(RegionOf(songPath, 2, 0, take.size()), take);
  EXPECT_FALSE(Entry(kUndoCommand).enabled);
}

}  // namespace
