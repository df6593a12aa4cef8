// Choosing the sound devices from the Audio menu: what the menu lists, what is
// kept in the settings, and when the choice takes effect; and what happens when
// a device changes or goes away while something runs on it.
#include "app/audio_devices.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/menus.h"
#include "audio/input_channels.h"
#include "audio/latency_measure.h"
#include "base/settings.h"
#include "panel/controls.h"
#include "program_fixture.h"
#include "song/song_state.h"
#include "song/undo.h"
#include "test_support.h"
#include "ui/control_manager.h"

namespace {

class AudioDevicesTest : public ProgramTest {
 protected:
  void SetUp() override {
    // The settings and the devices' lists are in place before the program
    // starts, as they are on a desktop.
    settings = MakeTempFolder("devices");
    ASSERT_FALSE(settings.empty());
    setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
    fakeWaveOut.devices = {true, {"Speakers", "USB & Co"}, "", ""};
    fakeWaveIn.devices = {true, {"Microphone", "USB & Co"}, "", ""};
    WriteSetting("input_device", "USB & Co");
    WriteSetting("input_channels", "right");
    ProgramTest::SetUp();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    fakeWaveOut.devices = {};
    fakeWaveIn.devices = {};
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(settings);
  }
  std::string settings;
};

TEST_F(AudioDevicesTest, StoredChoicesReachTheDevicesBeforeTheyOpen) {
  EXPECT_EQ(fakeWaveOut.devices.opened, "");
  EXPECT_EQ(fakeWaveIn.devices.chosen, "USB & Co");
  const MenuChoices out = OutputDeviceChoices();
  EXPECT_EQ(out.items, (std::vector<std::string>{"System default", "Speakers", "USB & Co"}));
  EXPECT_EQ(out.chosen, 0);
  EXPECT_EQ(InputDeviceChoices().chosen, 2);
}

TEST_F(AudioDevicesTest, ChoosingAnOutputKeepsItAndOpensTheOutputOnItAtOnce) {
  const int opens = fakeWaveOut.opens;
  WindowProc(WM_COMMAND, kOutputDeviceCommand, 1);
  EXPECT_EQ(ReadSetting("output_device"), "Speakers");
  EXPECT_EQ(fakeWaveOut.opens, opens + 1);
  EXPECT_EQ(fakeWaveOut.devices.opened, "Speakers");
  EXPECT_TRUE(fakeWaveOut.isOpen);
  EXPECT_EQ(OutputDeviceChoices().chosen, 1);

  WindowProc(WM_COMMAND, kOutputDeviceCommand, 0);
  EXPECT_EQ(ReadSetting("output_device", "unset"), "");
  EXPECT_EQ(fakeWaveOut.devices.opened, "") << "back to the system's default";

  // An item the menu never had changes nothing.
  WindowProc(WM_COMMAND, kOutputDeviceCommand, 3);
  WindowProc(WM_COMMAND, kOutputDeviceCommand, -1);
  EXPECT_EQ(fakeWaveOut.opens, opens + 2);
}

TEST_F(AudioDevicesTest, ChoosingDuringARecordingStopsItFirstAndKeepsTheTake) {
  Paint();
  Click(Middle(geometry::Arm(3)));
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  const std::vector<uint8_t> take(2 * 16384, 0x5A);
  fakeWaveIn.FeedInput(take);
  fakePlatform.Pump();
  fakePlatform.Advance(1000);

  WindowProc(WM_COMMAND, kInputDeviceCommand, 1);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(RegionOf(WorkingFile(), 3, 0, take.size()), take);
  EXPECT_EQ(ReadSetting("input_device"), "Microphone");
  // The input opens for each recording: the next one uses the new device.
  Click(Middle(geometry::kPlay));
  EXPECT_EQ(fakeWaveIn.devices.opened, "Microphone");
}

TEST_F(AudioDevicesTest, ChoosingADeviceDuringAMeasurementEndsItBeforeAnythingIsClosed) {
  Paint();
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  fakeWaveOut.Play(4410);
  fakePlatform.Pump();
  ASSERT_TRUE(MeasuringLatency());
  // The output still holds the test signal when it is opened on another
  // device: it lets go of the buffers before they are replaced (a buffer freed
  // while held is caught by the sanitizers when the fake lets go of it).
  WindowProc(WM_COMMAND, kOutputDeviceCommand, 1);
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_TRUE(fakeWaveOut.isOpen);
  EXPECT_EQ(fakeWaveOut.devices.opened, "Speakers");
  // Measuring again starts afresh on the new output, and an input chosen
  // meanwhile ends that measurement too.
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  fakeWaveOut.Play(4410);
  fakePlatform.Pump();
  ASSERT_TRUE(MeasuringLatency());
  const int inputs = fakeWaveIn.opens;
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  EXPECT_EQ(fakeWaveIn.opens, inputs + 1) << "a second start measures afresh";
  WindowProc(WM_COMMAND, kInputDeviceCommand, 1);
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(AudioDevicesTest, ADeviceThatGoesAwayStopsTheTakeKeepsWhatCameAndPlayConnectsAgain) {
  Paint();
  const Bytes take(BytesPerSecond, 0x5A);
  RecordTake(3, take, 1000);
  // A notice of a run the device has ended changes nothing.
  fakePlatform.Post({WM_WAVE_LOST, fakeWaveOut.generation - 1, 0});
  fakePlatform.Pump();
  ASSERT_EQ(song.running, 1);

  fakePlatform.Post({WM_WAVE_LOST, fakeWaveOut.generation, 0});
  fakePlatform.Pump();
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(controlManager.value[playButton], 0);
  EXPECT_EQ(song.positionMs, 1000) << "stopped where it was";
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{
                {"The sound device went away (its server stopped, or it was unplugged), so the "
                 "transport stopped. What was recorded until then is kept; Undo takes it back. "
                 "Play connects again once the device is back.",
                 "Error"}}));
  EXPECT_EQ(RegionOf(WorkingFile(), 3, 0, take.size()), take);
  EXPECT_EQ(CanUndo(), 1);

  // The next Play opens the output afresh and plays.
  fakePlatform.messages.clear();
  const int opens = fakeWaveOut.opens;
  Click(Middle(geometry::Arm(3)));
  Click(Middle(geometry::kPlay));
  EXPECT_EQ(fakeWaveOut.opens, opens + 1);
  EXPECT_EQ(song.running, 1);
  EXPECT_EQ(fakeWaveOut.queued.size(), 2u);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(AudioDevicesTest, ADeviceLostDuringAMeasurementEndsItAndOneLostWhileIdleIsQuiet) {
  Paint();
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  ASSERT_TRUE(MeasuringLatency());
  fakePlatform.Post({WM_WAVE_LOST, fakeWaveIn.generation, 1});
  fakePlatform.Pump();
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_EQ(fakePlatform.messages,
            (std::vector<ShownMessage>{
                {"The sound device went away (its server stopped, or it was unplugged), so the "
                 "measurement stopped. Play connects again once the device is back.",
                 "Error"}}));

  // With nothing running there is nothing to say until the next Play, which
  // opens the output afresh.
  fakePlatform.messages.clear();
  const int opens = fakeWaveOut.opens;
  fakePlatform.Post({WM_WAVE_LOST, fakeWaveOut.generation, 0});
  fakePlatform.Pump();
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(fakeWaveOut.opens, opens);
  Click(Middle(geometry::kPlay));
  EXPECT_EQ(fakeWaveOut.opens, opens + 1);
  EXPECT_EQ(song.running, 1);
}

TEST_F(AudioDevicesTest, AChosenDeviceThatIsGoneStaysTheChoice) {
  fakeWaveIn.devices.names = {"Microphone"};
  const MenuChoices in = InputDeviceChoices();
  EXPECT_EQ(in.items, (std::vector<std::string>{"System default", "Microphone", "USB & Co"}));
  EXPECT_EQ(in.chosen, 2);
}

TEST_F(AudioDevicesTest, DevicesRoutedElsewhereOfferNoChoice) {
  fakeWaveOut.devices.offered = false;
  EXPECT_TRUE(OutputDeviceChoices().items.empty());
  const int opens = fakeWaveOut.opens;
  WindowProc(WM_COMMAND, kOutputDeviceCommand, 0);
  EXPECT_EQ(fakeWaveOut.opens, opens);
  EXPECT_EQ(ReadSetting("output_device", "unset"), "unset");
}

// The input's channels: three choices whatever the devices, the stored one read
// at start, a new one kept and used by the next take; what the file does not
// know reads as Stereo.
TEST_F(AudioDevicesTest, InputChannelsAreChosenKeptAndReadBack) {
  EXPECT_EQ(InputChannelsChosen(), InputChannels::Right);
  MenuChoices choices = InputChannelChoices();
  EXPECT_EQ(choices.items, (std::vector<std::string>{"Stereo", "Left only", "Right only"}));
  EXPECT_EQ(choices.chosen, 2);

  WindowProc(WM_COMMAND, kInputChannelsCommand, 1);
  EXPECT_EQ(InputChannelsChosen(), InputChannels::Left);
  EXPECT_EQ(ReadSetting("input_channels"), "left");
  WindowProc(WM_COMMAND, kInputChannelsCommand, 3);
  EXPECT_EQ(InputChannelsChosen(), InputChannels::Left) << "no such item";

  WriteSetting("input_channels", "both");
  ApplyDeviceSettings();
  EXPECT_EQ(InputChannelsChosen(), InputChannels::Stereo);
  EXPECT_EQ(InputChannelChoices().chosen, 0);
}

}  // namespace
