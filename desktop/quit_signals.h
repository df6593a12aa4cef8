// SIGTERM and SIGINT end the program the way the window's close box does: a
// session logout or Ctrl+C in the terminal still removes the working file and
// writes the named song's settings. The handler only writes to a pipe; the
// event loop reads it and runs the close on the GUI thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <functional>
#include <memory>

class QuitSignals : public QObject {
 public:
  // `close` runs once, on the GUI thread, at the first of the two signals. A
  // second one while the program winds down ends it at once, as usual.
  explicit QuitSignals(std::function<void()> close);
  ~QuitSignals() override;

  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // False when the pipe or the handlers could not be set up; the program then
  // simply keeps the default handling.
  bool Installed() const { return installed; }

 private:
  void Arrived();
  void RestoreHandlers();

  std::function<void()> close;
  std::unique_ptr<QSocketNotifier> notifier;
  struct sigaction previousTerm {};
  struct sigaction previousInt {};
  bool installed = false;
  bool handlersSet = false;
};
