// Files dropped on the window: where they go, and when they are refused.
#include <gtest/gtest.h>

#include "panel/commands.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"

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
  std::string Wav(const char* name, const Bytes& pcm) { return WriteTrackWav(folder / name, pcm); }
  static Bytes TrackStart(int t) { return RegionOf(songPath, t, 0, 4000); }
};

TEST_F(DropTest, AFileGoesIntoTheStripItLandsOnElseWhereImportPutsIt) {
  Click(Middle(geometry::Arm(2)));
  const Bytes a = Pattern(4000, 1);
  const Bytes b = Pattern(4000, 2);
  // Anywhere on a strip, its corners too; the track is not armed for it.
  Drop(Wav("a.wav", a), {geometry::Strip(5).left, geometry::Strip(5).top});
  Drop(Wav("b.wav", b), {geometry::Strip(8).right - 1, geometry::Strip(8).bottom - 1});
  EXPECT_EQ(TrackStart(5), a);
  EXPECT_EQ(TrackStart(8), b);
  EXPECT_EQ(song.armedTrack, 2);
  EXPECT_TRUE(AllZero(TrackStart(2)));
  // As Import does: the button lit on screen while the file loads, but no dialog.
  EXPECT_GT(fakePlatform.flushes, 0);
  EXPECT_TRUE(fakePlatform.dialogs.empty());

  // Off the strips (just above the first one): the armed track, else track 1.
  Drop(Wav("a.wav", a), {200, geometry::Strip(1).top - 1});
  EXPECT_EQ(TrackStart(2), a);
  Click(Middle(geometry::Arm(2)));
  Drop(Wav("b.wav", b), Middle(geometry::kPlay));
  EXPECT_EQ(TrackStart(1), b);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(DropTest, ASongFileDroppedAnywhereIsOpenedAsOpenDoes) {
  tracks[3].volume = 17;
  const std::string named = (folder / "Demo.SVL").string();
  ASSERT_EQ(SaveSongTo(named), 1);
  NewSong();

  Drop(named, Middle(geometry::Strip(4)));

  EXPECT_EQ(songPath, named);
  EXPECT_EQ(tracks[3].volume, 17);
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(DropTest, DropsAreRefusedWhileTheTransportRunsAndNoSoundIsSaid) {
  const std::string wav = Wav("a.wav", Pattern(4000));
  const std::string text = (folder / "notes.txt").string();
  WriteFile(text, Bytes(100, 'x'));
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
  EXPECT_TRUE(AllZero(TrackStart(3)));
  EXPECT_TRUE(fakePlatform.messages.empty());

  Click(Middle(geometry::kPlay));
  Drop(text, Middle(geometry::Strip(3)));
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  // The refusal's first line names the file; FFmpeg's reason follows.
  const std::string& said = fakePlatform.messages[0].text;
  EXPECT_TRUE(said.substr(0, said.find('\n')).ends_with(text)) << said;
}

}  // namespace
