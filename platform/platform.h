// What the core asks of the desktop. Every front end (the Qt window, the test
// fake, the command-line console) implements Platform and installs it before the
// core runs; the core never includes a toolkit header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Window messages, numbered as on the system the program was first written for,
// so the dispatch reads the same everywhere.
enum : uint32_t {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_PAINT = 0x000F,
  WM_KEYDOWN = 0x0100,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_COMMAND = 0x0111,
  WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  // A file dropped on the window: wParam points to its path, a std::string that
  // lives until WindowProc returns (so the message is delivered, never posted);
  // lParam is the panel point it was dropped at.
  WM_DROPFILES = 0x0233,
  MM_WOM_DONE = 0x03BD,   // 957: an output buffer came back
  MM_WIM_CLOSE = 0x03BF,  // 959: the input device closed
  MM_WIM_DATA = 0x03C0,   // 960: an input buffer was filled
  // The program's own (the WM_APP range): a wave device went away, its sound
  // server stopped or it was unplugged. wParam is the generation of the
  // device's run; lParam 0 for the output, 1 for the input.
  WM_WAVE_LOST = 0x8001,
};

// Keys held at a mouse press, carried in its wParam.
constexpr uintptr_t MK_CONTROL = 0x0008;

struct Message {
  uint32_t id = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Mouse messages carry the client point as two signed 16-bit words.
constexpr intptr_t MakePointParam(int x, int y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}
constexpr int PointParamX(intptr_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
}
constexpr int PointParamY(intptr_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
}

struct FileFilter {
  std::string text;     // "Sonavel File (*.svl)"
  std::string pattern;  // "*.svl", several joined by ';'
  bool operator==(const FileFilter&) const = default;
};

// A check box a save or folder dialog shows below its list: its text, and
// whether it is ticked (set before the dialog opens, read after it closes).
struct DialogCheckBox {
  std::string text;
  bool checked = false;
};

// One line of a small form: a whole number from `minimum` to `maximum`, or, when
// `choices` is not empty, one of them (the value is its index).
struct FormField {
  std::string label;  // '&' marks the access key
  int value = 0;
  int minimum = 0;
  int maximum = 0;
  std::vector<std::string> choices;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A rectangle of the back surface changed; the window shows it by the end of
  // the current message at the latest.
  virtual void Invalidate(int x, int y, int width, int height) = 0;
  // Brings every changed rectangle to the screen now, without running the event
  // loop: used before waits and during long commands.
  virtual void Flush() = 0;

  // Modal, OK button, centred on the window. Device and timer messages keep
  // flowing while it is open. ShowMessage tells of a failure (the warning icon),
  // ShowInformation of something that went as asked (the information icon).
  virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
  virtual void ShowInformation(std::string_view text, std::string_view caption) = 0;
  virtual void Beep() = 0;

  // File dialogs owned by the main window, titled `title` (empty: the desktop's
  // own). `name` holds the start name and receives the chosen one; false when
  // cancelled. checkBox: none when null.
  virtual bool OpenFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                              std::string& name) = 0;
  virtual bool SaveFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                              std::string& name, DialogCheckBox* checkBox) = 0;
  // A folder chooser: `folder` holds the start folder and receives the chosen one.
  virtual bool FolderDialog(std::string_view title, std::string& folder,
                            DialogCheckBox* checkBox) = 0;

  // A modal form owned by the main window, with OK and Cancel, titled as given.
  // `fields` hold the values it starts with and receive those chosen; false
  // when cancelled.
  virtual bool AskForm(std::string_view title, std::vector<FormField>& fields) = 0;

  virtual void ShowAbout() = 0;
  // The window's title bar shows this.
  virtual void SetTitle(std::string_view title) = 0;
  // Renames a menu entry (the command's, as the menu table gave it) and greys it
  // out or back in.
  virtual void SetMenuEntry(uintptr_t command, std::string_view text, bool enabled) = 0;
  // The desktop's default browser shows the local file at path, scrolled to the
  // fragment (none when empty). The front end builds the address, so a folder
  // name holding '#', '?' or '%' still names the file. False when no browser
  // could be started.
  virtual bool OpenLocalPage(std::string_view path, std::string_view fragment) = 0;

  // Monotonic milliseconds, wrapping at 32 bits.
  virtual uint32_t ClockMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;

  // Thread-safe; delivered to WindowProc in order on the core's thread.
  virtual void Post(const Message& message) = 0;

  virtual void StartTimer(uint32_t periodMs) = 0;
  virtual void StopTimer() = 0;
  // Ends the message loop with this exit code.
  virtual void Quit(int exitCode) = 0;
  // Closes the main window as its close box does, which ends the program.
  virtual void CloseWindow() = 0;
};

// The installed platform; the front end installs one before creating the window.
Platform& platform();
void InstallPlatform(Platform* p);
