// Undo and redo put back exactly the bytes a change replaced, also where the song
// file ended inside the changed range, and the settings it switched, step by
// step through the history.
#include "song/undo.h"

#include <utility>

#include "song_fixture.h"

namespace {

class UndoTest : public SongFolderTest {
 protected:
  void SetUp() override {
    SongFolderTest::SetUp();
    ResetSongSettings();
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
  static Bytes State() { return SongSnapshot(songPath, 3, 2 * BytesPerSecond); }
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
  EXPECT_EQ(Redo(), 0) << "nothing more to redo";
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

TEST_F(UndoTest, TwentyChangesGoBackAndForthOneAtATimeAndTheOldestGoesFirst) {
  std::vector<Bytes> states{State()};
  for (int i = 1; i <= kUndoSteps + 1; ++i) {
    // Each change switches a setting of another track, too.
    const int t = 1 + i % 3;
    Change(t, Pattern(BytesPerSecond, i), (i % 2) * BytesPerSecond / 2);
    tracks[t].volume = static_cast<int8_t>(i);
    tracks[t % 3 + 1].playOn ^= 1;
    FinishUndoStep();
    states.push_back(State());
  }
  for (int i = kUndoSteps + 1; i > 1; --i) {
    ASSERT_EQ(Undo(), 1) << i;
    ASSERT_EQ(State(), states[i - 1]) << i;
  }
  EXPECT_EQ(Undo(), 0) << "the first change is no longer kept";
  EXPECT_EQ(UndoText(), "Undo");
  for (int i = 2; i <= kUndoSteps + 1; ++i) {
    ASSERT_EQ(Redo(), 1) << i;
    ASSERT_EQ(State(), states[i]) << i;
  }
  EXPECT_EQ(Redo(), 0);
}

TEST_F(UndoTest, UndoLeavesSettingsTheChangeDidNotSwitchAlone) {
  Change(2, Pattern(BytesPerSecond, 1), 0);
  tracks[2].playOn = 1;
  SetTrackName(tracks[2], "Take");
  FinishUndoStep();
  tracks[2].volume = 33;
  tracks[5].effectOn = 1;

  ASSERT_EQ(Undo(), 1);
  EXPECT_EQ(tracks[2].playOn, 0);
  EXPECT_TRUE(TrackUnnamed(tracks[2]));
  EXPECT_EQ(tracks[2].volume, 33);
  EXPECT_EQ(tracks[5].effectOn, 1);
  // Armed meanwhile: switched on again, it is disarmed as the speaker button does.
  song.armedTrack = 2;
  ASSERT_EQ(Redo(), 1);
  EXPECT_EQ(tracks[2].playOn, 1);
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(ShownName(tracks[2]), "Take");
}

TEST_F(UndoTest, TheOldestStepsGoWhenTheKeptBytesPassTheLimit) {
  const int64_t saved = std::exchange(undoByteLimit, 3 * int64_t{BytesPerSecond});
  Put(1, Pattern(4 * BytesPerSecond, 9));
  for (int i = 0; i < 4; ++i) Change(1, Pattern(BytesPerSecond, i), i * BytesPerSecond);
  int undone = 0;
  while (Undo() == 1) ++undone;
  EXPECT_EQ(undone, 3);
  EXPECT_EQ(RegionOf(songPath, 1, 0, BytesPerSecond), Pattern(BytesPerSecond, 0));

  // No room at all: a change keeps nothing, and what was kept before goes.
  Change(1, Pattern(BytesPerSecond, 7), 0);
  undoByteLimit = 0;
  EXPECT_EQ(KeepForUndo(UndoKind::Recording, tracks[1], LoopOf(tracks[1]), 0, BytesPerSecond), 0);
  undoByteLimit = saved;
  EXPECT_EQ(Undo(), 0);
}

}  // namespace
