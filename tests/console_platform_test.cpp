// The command-line platform: one line per message, counted as failures; dialogs
// that answer once; waits that do not wait; devices that hand buffers back.
#include "platform/console/console_platform.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/fake/fake_platform.h"

namespace {

std::vector<Message> delivered;

class ConsolePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    delivered.clear();
    InstallPlatform(&console);
    InstallWaveDevices(&out, &in);
  }
  void TearDown() override { InstallFakes(); }

  int Collect() {
    return console.PumpTo([](const Message& m) { delivered.push_back(m); });
  }

  ConsolePlatform console{"svltool"};
  NullWaveOut out;
  NullWaveIn in;
};

TEST_F(ConsolePlatformTest, MessagesAreOneCountedLineOnStandardError) {
  ::testing::internal::CaptureStderr();
  console.ShowMessage("LoadFileWav: Missing File", "Error");
  console.ShowMessage("/music/a\nb.wav", "Error: Wav file not stereo");
  console.ShowMessage("no caption", "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "svltool: Error: LoadFileWav: Missing File\n"
            "svltool: Error: Wav file not stereo: /music/a b.wav\n"
            "svltool: no caption\n");
  EXPECT_EQ(console.failures, 3);
}

TEST_F(ConsolePlatformTest, ADialogAnswersOnceThenCancels) {
  std::string name = "start";
  EXPECT_FALSE(console.SaveFileDialog({}, name));
  EXPECT_EQ(name, "start");
  console.AnswerNextDialog("/tmp/mix.wav");
  EXPECT_TRUE(console.SaveFileDialog({}, name));
  EXPECT_EQ(name, "/tmp/mix.wav");
  EXPECT_FALSE(console.OpenFileDialog({}, name));
  console.AnswerNextDialog("/tmp/a.ogg");
  EXPECT_TRUE(console.OpenFileDialog({}, name));
  EXPECT_EQ(name, "/tmp/a.ogg");
}

TEST_F(ConsolePlatformTest, AButtonsWaitDoesNotSleepButTheClockRuns) {
  const uint32_t before = console.ClockMs();
  // Were this a real sleep, the test would sit for ten minutes.
  console.SleepMs(600'000);
  EXPECT_LT(console.ClockMs() - before, 600'000u);
}

TEST_F(ConsolePlatformTest, SilentDevicesOpenAndHandEveryBufferBack) {
  EXPECT_EQ(out.Open(), kWaveOk);
  uint8_t bytes[16] = {};
  WaveHeader played{bytes, sizeof bytes};
  EXPECT_EQ(out.Write(played), kWaveOk);
  EXPECT_EQ(played.done, 1u);
  EXPECT_EQ(out.Reset(), kWaveOk);

  EXPECT_EQ(in.Open(), kWaveOk);
  WaveHeader first{bytes, 8};
  WaveHeader second{bytes + 8, 8};
  EXPECT_EQ(in.AddBuffer(first), kWaveOk);
  EXPECT_EQ(in.AddBuffer(second), kWaveOk);
  EXPECT_EQ(in.Start(), kWaveOk);
  const uint32_t run = in.Generation();
  EXPECT_EQ(in.Reset(), kWaveOk);
  EXPECT_EQ(in.Close(), kWaveOk);

  ASSERT_EQ(Collect(), 4);
  EXPECT_EQ(delivered[0].id, static_cast<uint32_t>(MM_WOM_DONE));
  EXPECT_EQ(delivered[0].lParam, reinterpret_cast<intptr_t>(&played));
  EXPECT_EQ(delivered[1].id, static_cast<uint32_t>(MM_WIM_DATA));
  EXPECT_EQ(delivered[1].wParam, run);
  EXPECT_EQ(delivered[1].lParam, reinterpret_cast<intptr_t>(&first));
  EXPECT_EQ(delivered[2].lParam, reinterpret_cast<intptr_t>(&second));
  EXPECT_EQ(second.bytesRecorded, 0u);
  EXPECT_EQ(second.done, 1u);
  EXPECT_EQ(delivered[3].id, static_cast<uint32_t>(MM_WIM_CLOSE));
  EXPECT_EQ(console.failures, 0);
}

}  // namespace
