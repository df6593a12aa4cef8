#include "app/menus.h"

#include "app/audio_devices.h"
#include "platform/platform.h"

namespace {

constexpr MenuEntry kAudioEntries[] = {
    {kOutputDeviceCommand, "&Output Device", "", OutputDeviceChoices},
    {kInputDeviceCommand, "&Input Device", "", InputDeviceChoices},
};
constexpr MenuEntry kHelpEntries[] = {{kAboutCommand, "&About"}};

constexpr Menu kMenus[] = {{"&Audio", kAudioEntries}, {"&Help", kHelpEntries}};

}  // namespace

std::span<const Menu> MenuBar() {
  return kMenus;
}

int RunMenuCommand(uintptr_t command, intptr_t choice) {
  switch (command) {
    case kAboutCommand:
      platform().ShowAbout();
      return 1;
    case kOutputDeviceCommand:
      ChooseOutputDevice(choice);
      return 1;
    case kInputDeviceCommand:
      ChooseInputDevice(choice);
      return 1;
    default:
      return 0;
  }
}
