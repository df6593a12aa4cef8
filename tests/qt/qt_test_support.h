// What the front-end tests share: one QApplication on the offscreen platform, a
// window whose messages are recorded, and a way out of a modal loop that did not
// end as the test expected.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "desktop/main_window.h"
#include "desktop/qt_platform.h"
#include "ui/control_manager.h"

inline std::unique_ptr<QApplication>& TestAppHolder() {
  static std::unique_ptr<QApplication> app;
  return app;
}

inline char* TestRuntimeFolder() {
  static char folder[] = "/tmp/sonavel-qt-tests-XXXXXX";
  return folder;
}

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "sonavel_qt_tests";
  static char* argv[] = {name, nullptr};
  if (!TestAppHolder()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows take their places on the desktop by lock files there: tests run
    // side by side must not take each other's.
    if (mkdtemp(TestRuntimeFolder()) != nullptr) setenv("XDG_RUNTIME_DIR", TestRuntimeFolder(), 1);
    TestAppHolder() = std::make_unique<QApplication>(argc, argv);
  }
  return *TestAppHolder();
}

// The application ends with the tests: left to the exit handlers, it would
// outlive Qt's own globals.
class QtTestEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    TestAppHolder().reset();
    std::error_code ignored;
    std::filesystem::remove_all(TestRuntimeFolder(), ignored);
  }
};

inline std::vector<Message>& Received() {
  static std::vector<Message> messages;
  return messages;
}

inline void Record(const Message& m) {
  Received().push_back(m);
}

// Closes whatever modal window is still open, so a test that went wrong fails
// instead of waiting forever; returns how many it closed.
inline int CloseStrayModals() {
  int closed = 0;
  while (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    ++closed;
  }
  return closed;
}

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    Received().clear();
    platform = std::make_unique<QtPlatform>();
    platform->SetReceiver(Record);
    InstallPlatform(platform.get());
    controlManager.ClearControls();
    controlManager.backSurface.Create();
    window = std::make_unique<MainWindow>(*platform);
  }
  void TearDown() override {
    window.reset();
    controlManager.ClearControls();
    controlManager.backSurface.Release();
    QCoreApplication::processEvents();
  }

  PanelWidget& Panel() { return window->Panel(); }

  std::unique_ptr<QtPlatform> platform;
  std::unique_ptr<MainWindow> window;
};
