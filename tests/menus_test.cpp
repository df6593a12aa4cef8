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

TEST_F(MenusTest, FileEntriesRunTheCommandsOfTheButtons) {
  const struct {
    uintptr_t command;
    int* button;
  } entries[] = {{kNewCommand, &newButton},
                 {kOpenCommand, &openButton},
                 {kSaveAsCommand, &saveButton},
                 {kImportCommand, &importButton},
                 {kExportCommand, &exportButton}};
  for (const auto& e : entries) {
    // The button's own way, for comparison: its dialog and its wait.
    fakePlatform.Reset();
    PressButton(*e.button);
    const std::vector<DialogCall> buttonDialogs = fakePlatform.dialogs;
    const uint32_t buttonSlept = fakePlatform.sleptMs;

    fakePlatform.Reset();
    PressButton(playButton);
    ASSERT_EQ(song.running, 1);
    fakePlatform.Advance(2000);
    EXPECT_EQ(WindowProc(WM_COMMAND, e.command, 0), 0);

    EXPECT_EQ(song.running, 0) << e.command;
    EXPECT_EQ(song.positionMs, 0) << e.command;
    EXPECT_EQ(fakePlatform.sleptMs, buttonSlept) << e.command;
    ASSERT_EQ(fakePlatform.dialogs.size(), buttonDialogs.size()) << e.command;
    for (size_t i = 0; i < buttonDialogs.size(); ++i) {
      EXPECT_EQ(fakePlatform.dialogs[i].save, buttonDialogs[i].save);
      ASSERT_EQ(fakePlatform.dialogs[i].filters.size(), buttonDialogs[i].filters.size());
      for (size_t f = 0; f < buttonDialogs[i].filters.size(); ++f) {
        EXPECT_EQ(fakePlatform.dialogs[i].filters[f].pattern, buttonDialogs[i].filters[f].pattern);
      }
    }
    // Lit while the command ran, dark again after it.
    EXPECT_GT(fakePlatform.flushes, 0) << e.command;
    const int x = controlManager.x[*e.button] + 3;
    const int y = controlManager.y[*e.button] + 3;
    EXPECT_EQ(Shown(x, y), NormalAt(x, y)) << e.command;
  }
}

TEST_F(MenusTest, QuitClosesTheWindowAsTheCloseBoxDoes) {
  EXPECT_EQ(RunMenuCommand(kQuitCommand), 1);
  EXPECT_EQ(fakePlatform.windowCloses, 1);
  EXPECT_TRUE(fakePlatform.dialogs.empty());
  ASSERT_GE(MenuBar().size(), 2u);
  EXPECT_STREQ(MenuBar().front().title, "&File");
  EXPECT_EQ(MenuBar().front().entries.back().command, kQuitCommand);
  EXPECT_STREQ(MenuBar().back().title, "&Help");
}

// A shortcut must not take a key the track names need: Ctrl+I, Ctrl+H and
// Ctrl+M type Tab, Backspace and Enter, and plain keys type themselves.
TEST_F(MenusTest, ShortcutsLeaveTheKeysOfTheNamesAlone) {
  int shortcuts = 0;
  for (const Menu& menu : MenuBar()) {
    for (const MenuEntry& entry : menu.entries) {
      std::istringstream list(entry.shortcuts);
      for (std::string keys; std::getline(list, keys, ';');) {
        ++shortcuts;
        ASSERT_TRUE(keys.starts_with("Ctrl+")) << keys;
        const std::string key = keys.substr(keys.rfind('+') + 1);
        ASSERT_EQ(key.size(), 1u) << keys;
        const int control = key[0] - 'A' + 1;
        // The character rule gives an editing key its own code, any other
        // control character one that nothing takes.
        EXPECT_GE(MapChar(control), 128) << keys;
      }
    }
  }
  EXPECT_EQ(shortcuts, 5);
}

}  // namespace
