#include "app/menus.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/keys.h"
#include "panel_fixture.h"

namespace {

using MenusTest = PanelTest;

void PressButton(int c) {
  Click(controlManager.x[c] + 3, controlManager.y[c] + 3);
}

// What a command asked for: its dialogs' kinds and patterns, and its waits.
std::string Asked() {
  std::string asked = std::to_string(fakePlatform.sleptMs);
  for (const DialogCall& d : fakePlatform.dialogs) {
    asked += d.save ? " save:" : " open:";
    for (const FileFilter& f : d.filters) asked += f.pattern + "|";
  }
  return asked;
}

TEST_F(MenusTest, FileEntriesRunTheButtonsCommandsAndQuitCloses) {
  for (const auto& [command, button] : {std::pair{kNewCommand, &newButton},
                                        {kOpenCommand, &openButton},
                                        {kSaveAsCommand, &saveButton},
                                        {kImportCommand, &importButton},
                                        {kExportCommand, &exportButton}}) {
    fakePlatform.Reset();
    PressButton(*button);
    const std::string byButton = Asked();

    fakePlatform.Reset();
    PressButton(playButton);
    fakePlatform.Advance(2000);
    EXPECT_EQ(WindowProc(WM_COMMAND, command, 0), 0);

    // The transport stopped and rewound, the same dialog, the button lit on
    // screen while the command ran and dark again after it.
    EXPECT_EQ(song.running, 0) << command;
    EXPECT_EQ(song.positionMs, 0) << command;
    EXPECT_EQ(Asked(), byButton) << command;
    EXPECT_GT(fakePlatform.flushes, 0) << command;
    const int x = controlManager.x[*button] + 3;
    const int y = controlManager.y[*button] + 3;
    EXPECT_EQ(Shown(x, y), NormalAt(x, y)) << command;
  }
  WindowProc(WM_COMMAND, kQuitCommand, 0);
  EXPECT_EQ(fakePlatform.windowCloses, 1);
  EXPECT_STREQ(MenuBar().front().title, "&File");
}

// No shortcut takes a key the track names need: plain keys type, and Ctrl+I,
// Ctrl+H and Ctrl+M are Tab, Backspace and Enter to them. F1 types nothing.
TEST_F(MenusTest, ShortcutsLeaveTheKeysOfTheNamesAlone) {
  int shortcuts = 0;
  for (const Menu& menu : MenuBar()) {
    for (const MenuEntry& entry : menu.entries) {
      std::istringstream list(entry.shortcuts);
      for (std::string keys; std::getline(list, keys, ';'); ++shortcuts) {
        if (keys == "F1") continue;
        // A shifted letter reaches the names as the same control character.
        ASSERT_TRUE(keys.starts_with("Ctrl+") && (keys.size() == 6 || keys == "Ctrl+Shift+Z"))
            << keys;
        EXPECT_GE(MapChar(keys.back() - 'A' + 1), 128) << keys;
      }
    }
  }
  EXPECT_EQ(shortcuts, 9);
}

}  // namespace
