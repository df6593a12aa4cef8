// The one top-level window: the fixed panel under the menu bar.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <cstdint>

#include "app/menus.h"
#include "platform/qt/panel_widget.h"

class QtPlatform;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(QtPlatform& platform);
  ~MainWindow() override;

  PanelWidget& Panel() { return panel; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void FillChoices(QMenu& submenu, uintptr_t command, const MenuChoices& choices);

  QtPlatform& platform;
  // A member, not a heap child: it leaves the window before the window goes.
  PanelWidget panel;
  bool destroyed = false;
};

// The program's icon as Qt needs it.
QIcon AppIcon();
