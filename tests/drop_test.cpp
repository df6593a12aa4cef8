// Files dropped on the window: where they go, and when they are refused.
#include <gtest/gtest.h>

#include "panel/commands.h"
#include "panel/panel.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "ui/control_manager.h"

namespace {

class DropTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
    fakePlatform.Reset();
  }
  void Drop(const std::string& path, Point at) {
    WindowProc(WM_DROPFILES, reinterpret_cast<uintptr_t>(&path), MakePointParam(at.x, at.y));
    fakePlatform.Pump();
  }
  std::string Wav(const std::string& name, const Bytes& pcm) {
    return WriteTrackWav(folder / name, pcm);
  }
  static Bytes TrackStart(int t, size_t count) { return RegionOf(songPath, t, 0, count); }
};

TEST_F(DropTest, AFileDroppedOnAStripGoesIntoThatTrackWithoutArmingIt) {
  Click(Middle(geometry::Arm(2)));
  ASSERT_EQ(song.armedTrack, 2);
  const Bytes pcm = Pattern(8000, 3);
  const std::string wav = Wav("take.wav", pcm);

  // Anywhere on the strip, its left and right ends too.
  Drop(wav, {geometry::Strip(5).left, geometry::Strip(5).top});
  EXPECT_EQ(TrackStart(5, 8000), pcm);
  Drop(wav, {geometry::Strip(8).right - 1, geometry::Strip(8).bottom - 1});
  EXPECT_EQ(TrackStart(8, 8000), pcm);

  EXPECT_EQ(song.armedTrack, 2);
  EXPECT_TRUE(AllZero(TrackStart(2, 8000)));
  EXPECT_TRUE(fakePlatform.messages.empty());
  // As Import: the button lit on screen while the file loads, no dialog.
  EXPECT_GT(fakePlatform.flushes, 0);
  EXPECT_TRUE(fakePlatform.dialogs.empty());
}

TEST_F(DropTest, AFileDroppedElsewhereGoesWhereImportWouldPutIt) {
  const Bytes first = Pattern(4000, 1);
  Drop(Wav("a.wav", first), Middle(geometry::kPlay));
  EXPECT_EQ(TrackStart(1, 4000), first);

  Click(Middle(geometry::Arm(6)));
  const Bytes second = Pattern(4000, 2);
  // Just above the first strip is not on it.
  Drop(Wav("b.wav", second), {200, geometry::Strip(1).top - 1});
  EXPECT_EQ(TrackStart(6, 4000), second);
  EXPECT_EQ(TrackStart(1, 4000), first);
}

TEST_F(DropTest, ASongFileDroppedAnywhereIsOpened) {
  tracks[3].volume = 17;
  const std::string named = (folder / "Demo.SVL").string();
  ASSERT_EQ(SaveSongTo(named), 1);
  ASSERT_EQ(NewSong(), 0);
  ASSERT_EQ(tracks[3].volume, 80);

  Drop(named, Middle(geometry::Strip(4)));

  EXPECT_EQ(songPath, named);
  EXPECT_EQ(tracks[3].volume, 17);
  EXPECT_TRUE(fakePlatform.messages.empty());
  // The working song is left as Open leaves it.
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
}

TEST_F(DropTest, DropsWhileTheTransportRunsAreRefusedWithABeep) {
  const std::string wav = Wav("a.wav", Pattern(4000));
  const std::string songFile = (folder / "other.svl").string();
  WriteFile(songFile, Bytes(SongHeaderBytes));
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  const std::string before = songPath;

  Drop(wav, Middle(geometry::Strip(3)));
  Drop(songFile, Middle(geometry::kPlay));

  EXPECT_EQ(fakePlatform.beeps, 2);
  EXPECT_EQ(song.running, 1);
  EXPECT_EQ(songPath, before);
  EXPECT_TRUE(AllZero(TrackStart(3, 4000)));
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(DropTest, AFileThatIsNoSoundIsRefusedAndTheTrackKept) {
  const Bytes pcm = Pattern(4000, 9);
  Drop(Wav("a.wav", pcm), Middle(geometry::Strip(7)));
  const std::string text = (folder / "notes.txt").string();
  WriteFile(text, Bytes(100, 'x'));

  Drop(text, Middle(geometry::Strip(7)));

  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_NE(fakePlatform.messages[0].text.find(text), std::string::npos);
  EXPECT_EQ(TrackStart(7, 4000), pcm);
}

}  // namespace
