// The one top-level window: the fixed panel under the menu bar. Files dropped on
// it go to the core.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <cstdint>
#include <map>

#include "app/menus.h"
#include "desktop/panel_widget.h"
#include "desktop/window_slot.h"

class QtPlatform;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(QtPlatform& platform);
  ~MainWindow() override;

  PanelWidget& Panel() { return panel; }
  // The menu entry that sends this command; null when none does.
  QAction* MenuAction(uintptr_t command) const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void FillChoices(QMenu& submenu, uintptr_t command, const MenuChoices& choices);

  QtPlatform& platform;
  WindowSlot slot;
  // A member, not a heap child: it leaves the window before the window goes.
  PanelWidget panel;
  std::map<uintptr_t, QAction*> menuActions;
  bool destroyed = false;
};

// Creates the window's content (WM_CREATE), shows the window and runs the event
// loop until the core ends it; returns the exit code. A quit the core asked for
// during creation (a SIGTERM read while a start-up message was open, whose own
// event loop was the only one to end) ends the program here, without showing it.
int RunMainWindow(QtPlatform& platform, MainWindow& window);

// The program's icon as Qt needs it.
QIcon AppIcon();
