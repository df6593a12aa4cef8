// Undo and redo put back exactly the bytes a change replaced, also where the song
// file ended inside the changed range.
#include "song/undo.h"

#include "song_fixture.h"

namespace {

class UndoTest : public SongFolderTest {
 protected:
  void SetUp() override {
    SongFolderTest::SetUp();
    ASSERT_EQ(SongFileInit(), 1);
  }
  void TearDown() override {
    DropUndo();
    SongFolderTest::TearDown();
  }
  static void Put(int t, const Bytes& bytes, int32_t offset = 0) {
    ASSERT_EQ(FileWrite(tracks[t], bytes.data(), offset, static_cast<int32_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
  }
  // A take of `bytes` over track t from `offset`, kept for undo first.
  static void Change(int t, const Bytes& bytes, int32_t offset) {
    const auto n = static_cast<int32_t>(bytes.size());
    Bytes source(static_cast<size_t>(offset) + bytes.size());
    std::copy(bytes.begin(), bytes.end(), source.begin() + offset);
    ASSERT_EQ(KeepForUndo(UndoKind::Recording, tracks[t], LoopOf(tracks[t]), offset, n), 1);
    ASSERT_EQ(FileWriteOrDropUndo(tracks[t], source.data(), offset, n), n);
  }
};

TEST_F(UndoTest, AFileThatEndedInsideTheRangeEndsThereAgain) {
  Put(1, Pattern(BytesPerSecond, 1));
  tracks[1].loopOn = 1;
  tracks[1].loopEnd = BytesPerSecond;
  const Bytes before = ReadFile(songPath);
  Change(1, Pattern(3 * BytesPerSecond, 2), BytesPerSecond / 2);
  tracks[1].loopOn = 0;
  const Bytes after = ReadFile(songPath);

  ASSERT_EQ(Undo(), 1);
  EXPECT_EQ(ReadFile(songPath), before);
  EXPECT_EQ(tracks[1].loopOn, 1);
  EXPECT_EQ(tracks[1].loopEnd, BytesPerSecond);
  ASSERT_EQ(Redo(), 1);
  EXPECT_EQ(ReadFile(songPath), after);
  EXPECT_EQ(tracks[1].loopOn, 0);
  EXPECT_EQ(Redo(), 0) << "one step each way";
}

TEST_F(UndoTest, WithTracksBeyondTheRangeTheRestIsSilencedInPlace) {
  Put(1, Pattern(BytesPerSecond, 3));
  Put(2, Pattern(BytesPerSecond, 4));
  const Bytes track1 = RegionOf(songPath, 1, 0, 4 * BytesPerSecond);
  const Bytes track2 = RegionOf(songPath, 2, 0, BytesPerSecond);
  Change(1, Pattern(3 * BytesPerSecond, 5), 0);

  ASSERT_EQ(Undo(), 1);
  EXPECT_EQ(RegionOf(songPath, 1, 0, 4 * BytesPerSecond), track1);
  EXPECT_EQ(RegionOf(songPath, 2, 0, BytesPerSecond), track2);
  EXPECT_EQ(UndoText(), "Undo");
  EXPECT_EQ(RedoText(), "Redo Recording on Track 1");
}

}  // namespace
