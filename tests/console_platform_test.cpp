// The command-line platform: one line per message, counted as failures; dialogs
// that cancel; waits that do not wait.
#include "tools/svltool/console_platform.h"

#include <gtest/gtest.h>

#include "tests/fake/fake_platform.h"

namespace {

class ConsolePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallPlatform(&console); }
  void TearDown() override { InstallFakes(); }

  ConsolePlatform console{"svltool"};
};

TEST_F(ConsolePlatformTest, MessagesAreOneCountedLineOnStandardError) {
  ::testing::internal::CaptureStderr();
  console.ShowMessage("LoadFileWav: Missing File", "Error");
  console.ShowMessage("SongFileOpen - failed\n/music/song.svl: Permission denied", "Error");
  console.ShowMessage("no caption", "");
  console.ShowInformation("Round trip: 12 frames", "Measure Latency");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "svltool: Error: LoadFileWav: Missing File\n"
            "svltool: Error: SongFileOpen - failed: /music/song.svl: Permission denied\n"
            "svltool: no caption\n"
            "svltool: Measure Latency: Round trip: 12 frames\n");
  // Only the failures count.
  EXPECT_EQ(console.failures, 3);
}

TEST_F(ConsolePlatformTest, DialogsAreCancelled) {
  std::string name = "start";
  DialogCheckBox box{"Trim", false};
  EXPECT_FALSE(console.SaveFileDialog("Export Mix", {}, name, &box));
  EXPECT_FALSE(console.OpenFileDialog("Import Sound File", {}, name));
  EXPECT_FALSE(console.FolderDialog("Export Tracks", name, &box));
  EXPECT_EQ(name, "start");
}

TEST_F(ConsolePlatformTest, AButtonsWaitDoesNotSleepButTheClockRuns) {
  const uint32_t before = console.ClockMs();
  // Were this a real sleep, the test would sit for ten minutes.
  console.SleepMs(600'000);
  EXPECT_LT(console.ClockMs() - before, 600'000u);
}

}  // namespace
