// Starts and stops the whole program on the fake platform, the way the desktop
// front end does, with a working folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "app/window_proc.h"
#include "base/paths.h"
#include "codecs/export.h"
#include "panel/commands.h"
#include "panel_places.h"
#include "song/song_commands.h"
#include "song/song_state.h"
#include "test_support.h"
#include "tests/fake/fake_platform.h"

// The card delivers the bytes a buffer at a time, each handled before the next.
inline void Sing(std::span<const uint8_t> input) {
  while (!input.empty()) {
    const size_t n = std::min<size_t>(input.size(), 16384);
    fakeWaveIn.FeedInput(input.first(n));
    fakePlatform.Pump();
    input = input.subspan(n);
  }
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakePlatform.Reset();
    // A parameterised test's name holds a '/': one folder, not two.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    folder = std::filesystem::temp_directory_path() /
             ("sonavel-test-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    programDir = folder.string() + "/";
    workDir = programDir;
    AppStartup();
    WindowProc(WM_CREATE, 0, 0);
  }

  void TearDown() override {
    WindowProc(WM_DESTROY, 0, 0);
    fakePlatform.Pump();
    AppShutdown();
    // The names the dialogs remember belong to one run of the program.
    saveName.clear();
    exportName.clear();
    std::filesystem::remove_all(folder);
  }

  // The program ends and starts again with these files on its command line (names
  // relative to the test's folder), up to its first paint.
  void Restart(const std::vector<std::string>& files) {
    WindowProc(WM_DESTROY, 0, 0);
    fakePlatform.Pump();
    AppShutdown();
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    AppStartup();
    SetStartFiles(files);
    std::filesystem::current_path(cwd);
    WindowProc(WM_CREATE, 0, 0);
    fakePlatform.Reset();
    Paint();
  }

  // The first paint, which also creates the working file.
  void Paint() {
    WindowProc(WM_PAINT, 0, 0);
    fakePlatform.Pump();
  }
  void Click(int x, int y) {
    WindowProc(WM_LBUTTONDOWN, 0, MakePointParam(x, y));
    WindowProc(WM_LBUTTONUP, 0, MakePointParam(x, y));
    fakePlatform.Pump();
  }
  void Click(Point p) { Click(p.x, p.y); }
  void Key(int virtualKey) { WindowProc(WM_KEYDOWN, static_cast<uintptr_t>(virtualKey), 0); }
  void Char(int c) { WindowProc(WM_CHAR, static_cast<uintptr_t>(c), 0); }
  std::string WorkingFile() const { return programDir + "default.svl"; }
  void Command(geometry::Rect button, std::optional<std::string> answer) {
    fakePlatform.ScriptDialog(std::move(answer));
    Click(Middle(button));
  }

  // Arms track t and records `ms` of the given input from the start; the run
  // goes on until the test stops it.
  void RecordTake(int t, const Bytes& input, uint32_t ms) {
    if (song.armedTrack != t) Click(Middle(geometry::Arm(t)));
    ASSERT_EQ(song.armedTrack, t);
    Click(Middle(geometry::kPlay));
    ASSERT_EQ(song.running, 1);
    Sing(input);
    fakePlatform.Advance(ms);
  }

  void Stop() { Click(Middle(geometry::kStop)); }

  // Chooses the menu entry of that command, as the front end sends it.
  void Menu(uintptr_t command) {
    WindowProc(WM_COMMAND, command, 0);
    fakePlatform.Pump();
  }
  // The text and greying the menu shows for that command.
  FakePlatform::MenuEntryState Entry(uintptr_t command) {
    return fakePlatform.menuEntries[command];
  }

  std::filesystem::path folder;
};
