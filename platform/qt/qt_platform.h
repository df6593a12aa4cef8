// The desktop platform: the core's services on top of Qt. Messages reach the
// core through one receiver (WindowProc in the program), always on the GUI thread.
#pragma once

#include <QObject>
#include <QTimer>

#include "platform/platform.h"

class MainWindow;

class QtPlatform : public QObject, public Platform {
 public:
  using Receiver = void (*)(const Message&);

  QtPlatform();
  ~QtPlatform() override;

  // The window the core draws into and owns its dialogs; null while there is none.
  void AttachWindow(MainWindow* window);
  // Hands one message to the core now (GUI thread only).
  void Deliver(const Message& message) { receiver(message); }
  void SetReceiver(Receiver r) { receiver = r; }
  // The code of the last Quit, for when no event loop was running to take it.
  int ExitCode() const { return exitCode; }

  void Invalidate(int x, int y, int width, int height) override;
  void Flush() override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void Beep() override;
  bool OpenFileDialog(const std::vector<FileFilter>& filters, std::string& name) override;
  bool SaveFileDialog(const std::vector<FileFilter>& filters, std::string& name) override;
  void ShowAbout() override;
  void OpenWebPage(std::string_view address) override;
  uint32_t ClockMs() override;
  void SleepMs(uint32_t ms) override;
  void Post(const Message& message) override;
  void StartTimer(uint32_t periodMs) override;
  void StopTimer() override;
  void Quit(int code) override;
  void CloseWindow() override;

 private:
  MainWindow* window = nullptr;
  QTimer timer;
  Receiver receiver;
  int exitCode = 0;
};
