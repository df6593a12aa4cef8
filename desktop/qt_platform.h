// The desktop platform: the core's services on top of Qt. Messages reach the
// core through one receiver (WindowProc in the program), always on the GUI thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "platform/notice_ring.h"
#include "platform/platform.h"

class MainWindow;
class QUrl;

// The address of a local file, with the fragment set apart from the path so
// that no character of the path is read as part of the address's syntax.
QUrl LocalPageUrl(std::string_view path, std::string_view fragment);

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
  // Whether the core asked to end, and the code of the last Quit, for when no
  // event loop was running to take it.
  bool QuitAsked() const { return quitAsked; }
  int ExitCode() const { return exitCode; }

  void Invalidate(int x, int y, int width, int height) override;
  void Flush() override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void Beep() override;
  bool OpenFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                      std::string& name) override;
  bool SaveFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                      std::string& name, DialogCheckBox* checkBox) override;
  bool FolderDialog(std::string_view title, std::string& folder, DialogCheckBox* checkBox) override;
  bool AskForm(std::string_view title, std::vector<FormField>& fields) override;
  void ShowAbout() override;
  void SetTitle(std::string_view title) override;
  void SetMenuEntry(uintptr_t command, std::string_view text, bool enabled) override;
  bool OpenLocalPage(std::string_view path, std::string_view fragment) override;
  uint32_t ClockMs() override;
  void SleepMs(uint32_t ms) override;
  void Post(const Message& message) override;
  void StartTimer(uint32_t periodMs) override;
  void StopTimer() override;
  void Quit(int code) override;
  void CloseWindow() override;

 private:
  // A QMessageBox::Icon; the header stays free of QMessageBox.
  void ShowBox(int icon, std::string_view text, std::string_view caption);

  MainWindow* window = nullptr;
  QTimer timer;
  // Posts come from the audio callbacks too: they go through a queue that
  // neither allocates nor locks, watched by the event loop.
  NoticeRing posted;
  std::unique_ptr<QSocketNotifier> postedNotifier;
  Receiver receiver;
  int exitCode = 0;
  bool quitAsked = false;
};
