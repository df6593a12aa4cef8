// The desktop program: the Sonavel window on Qt, sound through JACK or SDL.
#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "base/paths.h"
#include "desktop/main_window.h"
#include "desktop/qt_platform.h"
#include "desktop/quit_signals.h"
#include "devices/desktop_audio.h"

namespace {

QtMessageHandler qtHandler = nullptr;

// Without a display Qt ends the process from inside QApplication; say why in one
// line and leave with an error code instead.
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "sonavel: cannot open the window: %s\n",
                 qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
    std::_Exit(1);
  }
  if (qtHandler != nullptr) qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  qtHandler = qInstallMessageHandler(StartupMessages);
  QApplication app(argc, argv);
  qInstallMessageHandler(qtHandler);
  if (QGuiApplication::primaryScreen() == nullptr) {
    std::fprintf(stderr, "sonavel: cannot open the window: no screen\n");
    return 1;
  }
  // The core decides when the program ends: after the window's destroy message.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(AppIcon());

  SetProgramDir(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
  ChooseWorkDir();
  QtPlatform qtPlatform;
  InstallPlatform(&qtPlatform);
  std::string audioNotice;
  InstallDesktopWaveDevices(std::getenv("SONAVEL_AUDIO"), audioNotice);
  AppStartup();
  // The files the desktop opens with the program (its entry passes %F), or those
  // named on the command line; Qt has taken its own options out already.
  const QStringList arguments = QCoreApplication::arguments();
  std::vector<std::string> files;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    files.push_back(QFile::encodeName(arguments[i]).toStdString());
  }
  SetStartFiles(files);

  MainWindow window(qtPlatform);
  // A logout or Ctrl+C ends the program the way the close box does.
  QuitSignals quitSignals([&window] { window.close(); });
  if (!audioNotice.empty()) qtPlatform.ShowMessage(audioNotice, "Sonavel");
  // A quit signal may already have come while the notice was up.
  const int exitCode =
      qtPlatform.QuitAsked() ? qtPlatform.ExitCode() : RunMainWindow(qtPlatform, window);
  AppShutdown();
  ReleaseDesktopWaveDevices();
  return exitCode;
}
