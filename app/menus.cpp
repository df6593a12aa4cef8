#include "app/menus.h"

#include "panel/commands.h"
#include "platform/platform.h"

namespace {

// Ctrl+I, Ctrl+H and Ctrl+M are Tab, Backspace and Enter to the track names, so
// Import has no shortcut.
constexpr MenuEntry kFileEntries[] = {
    {kNewCommand, "&New", "Ctrl+N"},
    {kOpenCommand, "&Open\u2026", "Ctrl+O"},
    {kSaveAsCommand, "Save &As\u2026", "Ctrl+S"},
    {kImportCommand, "&Import\u2026"},
    {kExportCommand, "&Export\u2026", "Ctrl+E"},
    {},
    {kQuitCommand, "&Quit", "Ctrl+Q"},
};
constexpr MenuEntry kHelpEntries[] = {{kAboutCommand, "&About"}};

constexpr Menu kMenus[] = {{"&File", kFileEntries}, {"&Help", kHelpEntries}};

}  // namespace

std::span<const Menu> MenuBar() {
  return kMenus;
}

int RunMenuCommand(uintptr_t command) {
  switch (command) {
    case kAboutCommand:
      platform().ShowAbout();
      return 1;
    case kNewCommand:
      OnNew();
      return 1;
    case kOpenCommand:
      OnOpen();
      return 1;
    case kSaveAsCommand:
      OnSave();
      return 1;
    case kImportCommand:
      OnImport();
      return 1;
    case kExportCommand:
      OnExport();
      return 1;
    case kQuitCommand:
      platform().CloseWindow();
      return 1;
    default:
      return 0;
  }
}
