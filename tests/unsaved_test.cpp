// Kept working songs: named by the time they were left, never one over another,
// and only the ten most recent stay.
#include "song/unsaved.h"

#include <filesystem>
#include <set>

#include "song_fixture.h"

namespace {

class UnsavedTest : public SongFolderTest {
 protected:
  std::string Leftover(uint8_t mark) {
    const std::string path = dir + "default.svl";
    WriteFile(path, Bytes(SongHeaderBytes, mark));
    return path;
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

}  // namespace
