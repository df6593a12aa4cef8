// The one top-level window: the fixed panel under the menu bar. Files dropped on
// it go to the core.
#pragma once

#include <QMainWindow>

#include "platform/qt/panel_widget.h"

class QtPlatform;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(QtPlatform& platform);
  ~MainWindow() override;

  PanelWidget& Panel() { return panel; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  QtPlatform& platform;
  // A member, not a heap child: it leaves the window before the window goes.
  PanelWidget panel;
  bool destroyed = false;
};

// The program's icon as Qt needs it.
QIcon AppIcon();
