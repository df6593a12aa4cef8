// Kept working songs: named by the time they were left, never one over another,
// and only the ten most recent stay.
#include "song/unsaved.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "base/file_handle.h"
#include "song/song_commands.h"
#include "song_fixture.h"

namespace {

class UnsavedTest : public SongFolderTest {
 protected:
  std::string Leftover(uint8_t mark) {
    const std::string path = dir + "default.svl";
    WriteFile(path, Bytes(SongHeaderBytes, mark));
    return path;
  }
  // Ten kept songs stamped ahead of this zone's clock (kept in a zone east of
  // it), written an hour ago and a second apart, oldest first.
  std::vector<std::string> TenKeptEastward() {
    std::filesystem::create_directories(UnsavedFolder());
    std::vector<std::string> kept;
    for (int i = 0; i < 10; ++i) {
      kept.push_back(UnsavedFolder() + "unsaved-20991231-00000" + std::to_string(i) + ".svl");
      WriteFile(kept.back(), Bytes(SongHeaderBytes));
      const timespec at[2] = {{std::time(nullptr) - 3600 + i, 0},
                              {std::time(nullptr) - 3600 + i, 0}};
      ::utimensat(AT_FDCWD, kept.back().c_str(), at, 0);
    }
    return kept;
  }
  std::set<std::string> Names() {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(UnsavedFolder())) {
      names.insert(e.path().filename().string());
    }
    return names;
  }
};

// 2026-12-07 12:00:00 in this machine's zone, whatever it is.
std::time_t Noon() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 12;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST_F(UnsavedTest, SongsLeftInOneSecondEachGetANameOfTheirOwn) {
  EXPECT_EQ(UnsavedFolder(), dir + "unsaved/");
  const std::string first = KeepUnsaved(Leftover(1), Noon());
  const std::string second = KeepUnsaved(Leftover(2), Noon());
  const std::string third = KeepUnsaved(Leftover(3), Noon());
  EXPECT_EQ(first, dir + "unsaved/unsaved-20261207-120000.svl");
  EXPECT_EQ(second, dir + "unsaved/unsaved-20261207-120000-2.svl");
  EXPECT_EQ(third, dir + "unsaved/unsaved-20261207-120000-3.svl");
  EXPECT_EQ(ReadFile(first), Bytes(SongHeaderBytes, 1));
  EXPECT_EQ(ReadFile(third), Bytes(SongHeaderBytes, 3));
  EXPECT_FALSE(std::filesystem::exists(dir + "default.svl"));

  // Nothing to move: nothing kept, nothing claimed.
  EXPECT_EQ(KeepUnsaved(dir + "default.svl", Noon()), "");
}

TEST_F(UnsavedTest, TheEleventhSongRemovesTheOldestAndNothingElse) {
  std::filesystem::create_directories(UnsavedFolder());
  WriteFile(UnsavedFolder() + "notes.txt", Bytes{1});
  WriteFile(UnsavedFolder() + "unsaved-mine.svl", Bytes{1});
  // Ten kept, the two oldest within one second; numbered ones are the later.
  for (int i = 0; i < 9; ++i) KeepUnsaved(Leftover(1), Noon() + 60 * i);
  KeepUnsaved(Leftover(2), Noon());
  ASSERT_EQ(Names().size(), 12u);

  KeepUnsaved(Leftover(3), Noon() + 3600);
  const std::set<std::string> names = Names();
  EXPECT_EQ(names.size(), 12u);
  EXPECT_FALSE(names.contains("unsaved-20261207-120000.svl"));
  EXPECT_TRUE(names.contains("unsaved-20261207-120000-2.svl"));
  EXPECT_TRUE(names.contains("unsaved-20261207-130000.svl"));
  EXPECT_TRUE(names.contains("notes.txt"));
  EXPECT_TRUE(names.contains("unsaved-mine.svl"));
}

// The rotation goes by when songs were kept or last written, never by the local
// times in their names; it never removes the song just kept, nor one held open.
TEST_F(UnsavedTest, RotationGoesByTimeKeptAndSparesTheNewAndTheHeld) {
  const std::vector<std::string> kept = TenKeptEastward();
  {
    const FileHandle other = FileHandle::Open(kept[0], O_RDONLY);
    ASSERT_EQ(other.TryLock(), FileHandle::Lock::Held);
    EXPECT_TRUE(std::filesystem::exists(KeepUnsaved(Leftover(1))));
    EXPECT_EQ(Names().size(), 11u);
  }
  EXPECT_TRUE(std::filesystem::exists(KeepUnsaved(Leftover(2))));
  EXPECT_FALSE(std::filesystem::exists(kept[0]));
  EXPECT_FALSE(std::filesystem::exists(kept[1]));
  EXPECT_EQ(Names().size(), 10u);
}

// A kept song reopened and recorded into takes the newest place; given a name,
// it leaves the rotation altogether.
TEST_F(UnsavedTest, AReopenedKeptSongIsKeptFromWhenItWasLastWritten) {
  const std::vector<std::string> kept = TenKeptEastward();
  ASSERT_EQ(OpenSongFrom(kept[0]), 1);
  FillPattern(BytesPerSecond);
  ASSERT_EQ(FileWrite(tracks[1], song.workBuffer.get(), 0, BytesPerSecond), BytesPerSecond);
  SongFileClose();
  KeepUnsaved(Leftover(1));
  EXPECT_TRUE(std::filesystem::exists(kept[0]));
  EXPECT_FALSE(std::filesystem::exists(kept[1]));

  ASSERT_EQ(OpenSongFrom(kept[2]), 1);
  ASSERT_EQ(SaveSongTo(dir + "named.svl"), 1);
  EXPECT_FALSE(std::filesystem::exists(kept[2]));
  EXPECT_EQ(songPath, dir + "named.svl");
  EXPECT_EQ(FileSize(songPath), SongHeaderBytes);
}

}  // namespace
