#include "app/audio_devices.h"

#include <algorithm>
#include <string>

#include "audio/input_channels.h"
#include "audio/latency_measure.h"
#include "audio/playback.h"
#include "base/settings.h"
#include "panel/transport.h"
#include "platform/wave.h"
#include "song/song_state.h"

namespace {

constexpr char kOutputSetting[] = "output_device";
constexpr char kInputSetting[] = "input_device";
constexpr char kSystemDefault[] = "System default";
constexpr char kChannelsSetting[] = "input_channels";

// The menu's items in the order of InputChannels, and how each is kept.
constexpr const char* kChannelItems[] = {"Stereo", "Left only", "Right only"};
constexpr const char* kChannelValues[] = {"stereo", "left", "right"};

// A value the file does not know (a typing slip) reads as Stereo.
InputChannels StoredChannels() {
  const std::string stored = ReadSetting(kChannelsSetting);
  for (int i = 1; i < 3; ++i) {
    if (stored == kChannelValues[i]) return static_cast<InputChannels>(i);
  }
  return InputChannels::Stereo;
}

MenuChoices Choices(DeviceChoice& device, const char* setting) {
  std::vector<std::string> names;
  if (!device.DeviceNames(names)) return {};
  MenuChoices choices;
  choices.items.push_back(kSystemDefault);
  choices.items.insert(choices.items.end(), names.begin(), names.end());
  const std::string stored = ReadSetting(setting);
  if (stored.empty()) {
    choices.chosen = 0;
    return choices;
  }
  auto at = std::find(choices.items.begin() + 1, choices.items.end(), stored);
  // A device unplugged since it was chosen stays the choice: it is used again
  // once it is back, and the default stands in meanwhile.
  if (at == choices.items.end()) at = choices.items.insert(at, stored);
  choices.chosen = static_cast<int>(at - choices.items.begin());
  return choices;
}

// The name behind item `item` of the menu as it was shown; false when there
// is no such item.
bool Choose(DeviceChoice& device, const char* setting, intptr_t item) {
  const MenuChoices choices = Choices(device, setting);
  if (item < 0 || static_cast<size_t>(item) >= choices.items.size()) return false;
  const std::string name = item == 0 ? std::string() : choices.items[static_cast<size_t>(item)];
  // Nothing may be left running on a device about to be closed or replaced.
  if (song.running != 0) StopToStart();
  LatencyCancel();
  // Not kept when the settings cannot be written, but still used this time.
  WriteSetting(setting, name);
  device.ChooseDevice(name);
  return true;
}

}  // namespace

void ApplyDeviceSettings() {
  waveOut().ChooseDevice(ReadSetting(kOutputSetting));
  waveIn().ChooseDevice(ReadSetting(kInputSetting));
  SetInputChannels(StoredChannels());
}

MenuChoices OutputDeviceChoices() {
  return Choices(waveOut(), kOutputSetting);
}

MenuChoices InputDeviceChoices() {
  return Choices(waveIn(), kInputSetting);
}

void ChooseOutputDevice(intptr_t item) {
  // The output stays open from start-up on: open it again on the new device.
  if (Choose(waveOut(), kOutputSetting, item)) PlayStart();
}

void ChooseInputDevice(intptr_t item) {
  Choose(waveIn(), kInputSetting, item);
}

MenuChoices InputChannelChoices() {
  return {{std::begin(kChannelItems), std::end(kChannelItems)},
          static_cast<int>(InputChannelsChosen())};
}

void ChooseInputChannels(intptr_t item) {
  if (item < 0 || item >= std::ssize(kChannelItems)) return;
  // A take changes its channels only between takes.
  if (song.running != 0) StopToStart();
  WriteSetting(kChannelsSetting, kChannelValues[item]);
  SetInputChannels(static_cast<InputChannels>(item));
}
