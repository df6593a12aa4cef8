// The menu bar: its menus, their entries with their shortcuts, and what each
// entry runs. The front end builds its menu bar from this table and sends
// WM_COMMAND with an entry's command when it is chosen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/menu_choices.h"

// Menu commands (the WM_COMMAND wParam).
constexpr uintptr_t kAboutCommand = 1000;
// The help page, as the HELP button opens it.
constexpr uintptr_t kHelpCommand = 1001;
// The File menu's: each the command of the panel's button of that name.
constexpr uintptr_t kNewCommand = 1100;
constexpr uintptr_t kOpenCommand = 1101;
constexpr uintptr_t kSaveAsCommand = 1102;
constexpr uintptr_t kImportCommand = 1103;
constexpr uintptr_t kExportCommand = 1104;
constexpr uintptr_t kQuitCommand = 1105;
// The File menu's two other exports, run on the Export button.
constexpr uintptr_t kExportBetweenMarkersCommand = 1106;
constexpr uintptr_t kExportTracksCommand = 1107;
constexpr uintptr_t kUndoCommand = 1200;
constexpr uintptr_t kRedoCommand = 1201;
constexpr uintptr_t kClickTrackCommand = 1250;
constexpr uintptr_t kBounceCommand = 1251;
constexpr uintptr_t kLoopCommand = 1252;
constexpr uintptr_t kOutputDeviceCommand = 1300;
constexpr uintptr_t kInputDeviceCommand = 1301;
constexpr uintptr_t kInputChannelsCommand = 1302;
constexpr uintptr_t kMeasureLatencyCommand = 1350;

struct MenuEntry {
  uintptr_t command = 0;  // 0: a separator
  const char* text = "";  // '&' marks the access key
  // Key sequences in the portable form "Ctrl+Shift+Z", several joined by ';'.
  const char* shortcuts = "";
  // Set for a submenu of choices: choosing item i sends WM_COMMAND with the
  // entry's command and lParam i.
  MenuChoices (*choices)() = nullptr;
  // Set for an entry that is on or off: whether it shows its check mark, asked
  // each time its menu opens.
  bool (*checked)() = nullptr;
};

struct Menu {
  const char* title = "";
  std::span<const MenuEntry> entries;
};

// The menus in the order they stand in the bar.
std::span<const Menu> MenuBar();

// Runs the entry whose command this is, with the item chosen from its
// submenu; 0 when no entry has it.
int RunMenuCommand(uintptr_t command, intptr_t choice = 0);

// Brings the entries that change (Undo and Redo name what they undo, and are
// greyed out when there is nothing) up to date; the front end's menu is told
// only what changed since the last call. Forget() makes the next call tell all,
// for a menu bar built afresh.
void RefreshMenus();
void ForgetMenuState();
