// The platform for command-line front ends: no window, no dialogs and no sound
// card. Messages go to standard error, one line each, and are counted so the
// tool can end with a failure status.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

class ConsolePlatform : public Platform {
 public:
  // program: the prefix of every line written ("svltool: Error: ...").
  explicit ConsolePlatform(std::string program) : program_(std::move(program)) {}

  void Invalidate(int, int, int, int) override {}
  void Flush() override {}
  void ShowMessage(std::string_view text, std::string_view caption) override;
  // Written like a failure's line, but not counted as one.
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void Beep() override {}
  // The tool takes its files and values from the command line: a dialog or a
  // form is always cancelled.
  bool OpenFileDialog(std::string_view, const std::vector<FileFilter>&, std::string&) override {
    return false;
  }
  bool SaveFileDialog(std::string_view, const std::vector<FileFilter>&, std::string&,
                      DialogCheckBox*) override {
    return false;
  }
  bool FolderDialog(std::string_view, std::string&, DialogCheckBox*) override { return false; }
  bool AskForm(std::string_view, std::vector<FormField>&) override { return false; }
  void ShowAbout() override {}
  void SetTitle(std::string_view) override {}
  void SetMenuEntry(uintptr_t, std::string_view, bool) override {}
  bool OpenLocalPage(std::string_view, std::string_view) override { return false; }
  uint32_t ClockMs() override;
  // A pause that only lets a person see a lit button is no use here.
  void SleepMs(uint32_t) override {}
  // Nothing posts: without a window and devices there is no message to deliver.
  void Post(const Message&) override {}
  void StartTimer(uint32_t) override {}
  void StopTimer() override {}
  // There is no message loop to end: the tool returns when its command is done.
  void Quit(int) override {}
  void CloseWindow() override {}

  int failures = 0;  // failure messages shown

 private:
  void WriteLine(std::string_view text, std::string_view caption);
  std::string program_;
};
