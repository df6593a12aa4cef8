#include "app/window_proc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/keys.h"
#include "app/menus.h"
#include "panel/text_fields.h"
#include "program_fixture.h"
#include "song/song_commands.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "ui/control_manager.h"

namespace {

using WindowProcTest = ProgramTest;

TEST_F(WindowProcTest, CreationBuildsThePanelAndStartsTheTimer) {
  EXPECT_EQ(controlManager.controlCount, 168);
  EXPECT_EQ(fakePlatform.timerPeriod, 100u);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(WindowProcTest, WorkingFileIsCreatedOnceByTheFirstPaint) {
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
  Paint();
  ASSERT_TRUE(std::filesystem::exists(WorkingFile()));
  EXPECT_EQ(std::filesystem::file_size(WorkingFile()), 8000u);
  std::filesystem::remove(WorkingFile());
  Paint();
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
}

TEST_F(WindowProcTest, ASongNamedAtStartIsOpenedWhateverItsName) {
  Paint();
  tracks[2].volume = 33;
  ASSERT_EQ(SaveSongTo((folder / "start.wav").string()), 1);

  Restart({"start.wav"});

  EXPECT_EQ(songPath, (folder / "start.wav").string());
  EXPECT_EQ(tracks[2].volume, 33);
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
  EXPECT_TRUE(fakePlatform.messages.empty());
}

// Sound files go into tracks of a new song, one each, and are only read; a song
// among other files, a ninth sound file and what is neither are refused by name.
TEST_F(WindowProcTest, SoundFilesNamedAtStartGoIntoTracksAndAreOnlyRead) {
  const Bytes a = Pattern(4000, 1);
  const std::string take = WriteTrackWav(folder / "take.wav", a);
  const Bytes wav = ReadFile(take);
  Restart({"take.wav"});
  EXPECT_EQ(RegionOf(songPath, 1, 0, a.size()), a);
  EXPECT_TRUE(fakePlatform.messages.empty());

  const std::string song = (folder / "song.svl").string(), text = (folder / "notes.svl").string();
  WriteFile(song, Bytes(SongHeaderBytes));
  WriteFile(text, Bytes(100, 'x'));
  std::vector<std::string> files{song, text};
  files.resize(11, take);
  Restart(files);
  EXPECT_EQ(RegionOf(songPath, 8, 0, a.size()), a);
  ASSERT_EQ(fakePlatform.messages.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NE(fakePlatform.messages[i].text.find(files[i]), std::string::npos) << i;
  }

  for (const std::string& name : {text, (folder / "missing.svl").string(), folder.string()}) {
    Restart({name});
    ASSERT_EQ(fakePlatform.messages.size(), 1u) << name;
    EXPECT_NE(fakePlatform.messages[0].text.find(name), std::string::npos);
    EXPECT_EQ(songPath, WorkingFile()) << name;
  }
  Restart({});  // the songs are left, their headers written
  EXPECT_EQ(ReadFile(take), wav);
  EXPECT_EQ(ReadFile(text), Bytes(100, 'x'));
}

TEST_F(WindowProcTest, OnlyMenuCommand1000OpensAbout) {
  WindowProc(WM_COMMAND, 999, 0);
  WindowProc(WM_COMMAND, 0, 0);
  EXPECT_EQ(fakePlatform.aboutShown, 0);
  WindowProc(WM_COMMAND, kAboutCommand, 0);
  EXPECT_EQ(fakePlatform.aboutShown, 1);
}

TEST_F(WindowProcTest, ClickReachesControlsAndThenTheTextFields) {
  Paint();
  WindowProc(WM_LBUTTONDOWN, 0, MakePointParam(kNameX + 13, NameY(2) + 3));
  EXPECT_EQ(controlManager.buttonDown, 1);
  EXPECT_NE(controlManager.pressedControl, 0);
  EXPECT_EQ(textFields.focusField, 2);
  WindowProc(WM_LBUTTONUP, 0, MakePointParam(kNameX + 13, NameY(2) + 3));
  EXPECT_EQ(controlManager.buttonDown, 0);
}

TEST_F(WindowProcTest, KeysAndCharactersReachTheFocusedField) {
  Paint();
  Click(kNameX, NameY(1));
  Char('a');
  Char('b');
  EXPECT_EQ(std::string(tracks[1].name, 2), "ab");
  EXPECT_EQ(textFields.caret, 2);
  // F1 is dropped before the key table; the system-key form of a key is consumed
  // like the plain one.
  Key(VK_F1);
  EXPECT_EQ(textFields.caret, 2);
  WindowProc(WM_SYSKEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(textFields.caret, 1);
  // A key without a code does nothing.
  Key(0x41);
  EXPECT_EQ(textFields.caret, 1);
  EXPECT_EQ(std::string(tracks[1].name, 2), "ab");
}

TEST_F(WindowProcTest, EscapeLeavesTheNameAsTypedSoSpacePlaysAgain) {
  Paint();
  Click(kNameX, NameY(3));
  Char('B');
  Char(27);
  EXPECT_EQ(textFields.focusField, -1);
  EXPECT_EQ(tracks[3].name[0], 'B');
  Char(' ');
  EXPECT_EQ(song.running, 1);
  EXPECT_EQ(tracks[3].name[1], ' ');
}

TEST_F(WindowProcTest, TheTitleNamesTheOpenSong) {
  EXPECT_EQ(fakePlatform.title, "Sonavel 2.2");
  Paint();
  EXPECT_EQ(fakePlatform.title, "Untitled \u2014 Sonavel 2.2");
  ASSERT_EQ(SaveSongTo((folder / "First Song.svl").string()), 1);
  WindowProc(WM_TIMER, 1, 0);
  EXPECT_EQ(fakePlatform.title, "First Song \u2014 Sonavel 2.2");
  NewSong();
  WindowProc(WM_TIMER, 1, 0);
  EXPECT_EQ(fakePlatform.title, "Untitled \u2014 Sonavel 2.2");
}

TEST_F(WindowProcTest, HelpWithoutABrowserSaysWhereThePageIs) {
  fakePlatform.browserStarts = false;
  WindowProc(WM_COMMAND, kHelpCommand, 0);
  EXPECT_EQ(fakePlatform.pagesOpened, std::vector<std::string>{HelpFilePath()});
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0].caption, "Help");
  EXPECT_TRUE(fakePlatform.messages[0].text.ends_with(":\n" + HelpFilePath()))
      << fakePlatform.messages[0].text;
}

TEST_F(WindowProcTest, DestroyStopsTheTimerAndQuitsWithZero) {
  WindowProc(WM_DESTROY, 0, 0);
  EXPECT_EQ(fakePlatform.timerPeriod, 0u);
  EXPECT_TRUE(fakePlatform.quitRequested);
  EXPECT_EQ(fakePlatform.exitCode, 0);
}

TEST_F(WindowProcTest, ShutDownRemovesTheWorkingFile) {
  Paint();
  ASSERT_TRUE(std::filesystem::exists(WorkingFile()));
  WindowProc(WM_DESTROY, 0, 0);
  AppShutdown();
  EXPECT_FALSE(std::filesystem::exists(WorkingFile()));
  // The fixture shuts down again; starting anew keeps that safe.
  AppStartup();
  WindowProc(WM_CREATE, 0, 0);
}

TEST_F(WindowProcTest, ClosingDuringARecordingKeepsTheTake) {
  Paint();
  const std::string named = programDir + "take.svl";
  ASSERT_EQ(SaveSongTo(named), 1);
  Click(Middle(geometry::Arm(2)));
  ASSERT_EQ(song.armedTrack, 2);
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  std::vector<uint8_t> take(2 * 16384);
  for (size_t i = 0; i < take.size(); ++i) take[i] = static_cast<uint8_t>(i * 7 + 1);
  fakeWaveIn.FeedInput(take);
  fakePlatform.Pump();
  fakePlatform.Advance(1000);

  WindowProc(WM_DESTROY, 0, 0);
  AppShutdown();
  std::ifstream file(named, std::ios::binary);
  file.seekg(SongHeaderBytes + TrackRegionBytes);
  std::vector<uint8_t> stored(take.size());
  file.read(reinterpret_cast<char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
  EXPECT_EQ(stored, take);
  AppStartup();
  WindowProc(WM_CREATE, 0, 0);
}

TEST_F(WindowProcTest, UnknownMessagesGoToTheDefaultHandling) {
  EXPECT_EQ(WindowProc(0x0086, 0, 0), -1);
  EXPECT_EQ(WindowProc(WM_TIMER, 1, 0), 0);
}

}  // namespace
