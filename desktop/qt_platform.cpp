#include "desktop/qt_platform.h"

#include <time.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QUrl>
#include <chrono>
#include <thread>

#include "app/window_proc.h"
#include "desktop/about_box.h"
#include "desktop/file_dialogs.h"
#include "desktop/form_dialog.h"
#include "desktop/main_window.h"

namespace {

void ToWindowProc(const Message& message) {
  WindowProc(message);
}

QString FromBytes(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QtPlatform::QtPlatform() : receiver(ToWindowProc) {
  // The transport's position and meters are paced by this timer; a coarse timer
  // would let them stutter by up to 5% of the period.
  timer.setTimerType(Qt::PreciseTimer);
  connect(&timer, &QTimer::timeout, this, [this] { Deliver({WM_TIMER, 1, 0}); });
  if (posted.WakeFd() >= 0) {
    postedNotifier = std::make_unique<QSocketNotifier>(posted.WakeFd(), QSocketNotifier::Read);
    connect(postedNotifier.get(), &QSocketNotifier::activated, this, [this] {
      posted.Drain([](const Message& m, void* self) { static_cast<QtPlatform*>(self)->Deliver(m); },
                   this);
    });
  }
}

QtPlatform::~QtPlatform() = default;

void QtPlatform::AttachWindow(MainWindow* w) {
  window = w;
}

void QtPlatform::Invalidate(int x, int y, int width, int height) {
  if (window != nullptr) window->Panel().MarkDirty(QRect(x, y, width, height));
}

void QtPlatform::Flush() {
  if (window != nullptr) window->Panel().FlushDirty();
}

void QtPlatform::ShowMessage(std::string_view text, std::string_view caption) {
  ShowBox(QMessageBox::Warning, text, caption);
}

void QtPlatform::ShowInformation(std::string_view text, std::string_view caption) {
  ShowBox(QMessageBox::Information, text, caption);
}

void QtPlatform::ShowBox(int icon, std::string_view text, std::string_view caption) {
  Flush();
  // Owned by the window, so it opens over it rather than somewhere on the
  // screen; application-modal so no click reaches the panel while the user reads it.
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), FromBytes(caption), FromBytes(text),
                  QMessageBox::Ok, window);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void QtPlatform::Beep() {
  QApplication::beep();
}

bool QtPlatform::OpenFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                                std::string& name) {
  Flush();
  return RunFileDialog(window, FileDialogKind::Open, title, filters, name);
}

bool QtPlatform::SaveFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                                std::string& name, DialogCheckBox* checkBox) {
  Flush();
  return RunFileDialog(window, FileDialogKind::Save, title, filters, name, checkBox);
}

bool QtPlatform::FolderDialog(std::string_view title, std::string& folder,
                              DialogCheckBox* checkBox) {
  Flush();
  return RunFileDialog(window, FileDialogKind::Folder, title, {}, folder, checkBox);
}

bool QtPlatform::AskForm(std::string_view title, std::vector<FormField>& fields) {
  Flush();
  return RunFormDialog(window, title, fields);
}

void QtPlatform::ShowAbout() {
  Flush();
  ShowAboutBox(window);
}

void QtPlatform::SetTitle(std::string_view title) {
  if (window != nullptr) window->setWindowTitle(FromBytes(title));
}

void QtPlatform::SetMenuEntry(uintptr_t command, std::string_view text, bool enabled) {
  if (window == nullptr) return;
  if (QAction* action = window->MenuAction(command)) {
    action->setText(FromBytes(text));
    action->setEnabled(enabled);
  }
}

QUrl LocalPageUrl(std::string_view path, std::string_view fragment) {
  // The path's bytes as the filesystem has them, whatever their encoding.
  QUrl url = QUrl::fromLocalFile(
      QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))));
  if (!fragment.empty()) url.setFragment(FromBytes(fragment));
  return url;
}

bool QtPlatform::OpenLocalPage(std::string_view path, std::string_view fragment) {
  return QDesktopServices::openUrl(LocalPageUrl(path, fragment));
}

uint32_t QtPlatform::ClockMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void QtPlatform::SleepMs(uint32_t ms) {
  // The lit button must be on screen during the wait; the event loop must not run,
  // or a click could be handled in the middle of a command.
  Flush();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtPlatform::Post(const Message& message) {
  if (postedNotifier && posted.Post(message)) return;
  // Without the queue (no eventfd, or the queue full against every expectation)
  // Qt's own queued call still delivers it; it allocates, but nothing is lost.
  QMetaObject::invokeMethod(
      this, [this, message] { Deliver(message); }, Qt::QueuedConnection);
}

void QtPlatform::StartTimer(uint32_t periodMs) {
  timer.start(static_cast<int>(periodMs));
}

void QtPlatform::StopTimer() {
  timer.stop();
}

void QtPlatform::CloseWindow() {
  if (window != nullptr) window->close();
}

void QtPlatform::Quit(int code) {
  quitAsked = true;
  exitCode = code;
  QCoreApplication::exit(code);
}
