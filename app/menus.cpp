#include "app/menus.h"

#include "platform/platform.h"

namespace {

constexpr MenuEntry kHelpEntries[] = {{kAboutCommand, "&About"}};

constexpr Menu kMenus[] = {{"&Help", kHelpEntries}};

}  // namespace

std::span<const Menu> MenuBar() {
  return kMenus;
}

int RunMenuCommand(uintptr_t command) {
  switch (command) {
    case kAboutCommand:
      platform().ShowAbout();
      return 1;
    default:
      return 0;
  }
}
