#include "desktop/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>
#include <string>

#include "app/about.h"
#include "app/icon.h"
#include "app/menus.h"
#include "desktop/qt_platform.h"

namespace {

// The one local file a drag carries; empty for anything else (several files, a
// web address, text), which the window does not take.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  return urls.front().toLocalFile();
}

// The table joins an entry's key sequences with ';'. Qt's own list parser wants
// "; " and would read "Ctrl+Shift+Z;Ctrl+Y" as one sequence that no key matches.
QList<QKeySequence> Shortcuts(const char* text) {
  QList<QKeySequence> keys;
  for (const QString& part : QString::fromUtf8(text).split(u';', Qt::SkipEmptyParts)) {
    keys.append(QKeySequence::fromString(part.trimmed(), QKeySequence::PortableText));
  }
  return keys;
}

// About a title bar's height: every window's title stays in sight.
constexpr int kWindowCascadePx = 32;

}  // namespace

QIcon AppIcon() {
  const std::span<const uint32_t> pixels = AppIconPixels();
  if (pixels.size() < static_cast<size_t>(kIconSize) * kIconSize) return QIcon();
  const QImage image(reinterpret_cast<const uchar*>(pixels.data()), kIconSize, kIconSize,
                     kIconSize * 4, QImage::Format_ARGB32);
  return QIcon(QPixmap::fromImage(image.copy()));
}

MainWindow::MainWindow(QtPlatform& p)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      platform(p),
      panel(p, this) {
  setWindowTitle(kWindowTitle);
  setWindowIcon(AppIcon());
  // The menu stays in the window on every desktop, so the panel sits right under it.
  menuBar()->setNativeMenuBar(false);
  for (const Menu& m : MenuBar()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.title));
    for (const MenuEntry& entry : m.entries) {
      if (entry.command == 0) {
        menu->addSeparator();
        continue;
      }
      if (entry.choices != nullptr) {
        QMenu* submenu = menu->addMenu(QString::fromUtf8(entry.text));
        // Asked afresh whenever the menu opens: devices come and go.
        connect(menu, &QMenu::aboutToShow, submenu,
                [this, submenu, command = entry.command, choices = entry.choices] {
                  FillChoices(*submenu, command, choices());
                });
        continue;
      }
      QAction* action = menu->addAction(QString::fromUtf8(entry.text));
      action->setShortcuts(Shortcuts(entry.shortcuts));
      if (entry.checked != nullptr) {
        action->setCheckable(true);
        // The key L turns it too: the mark is asked afresh whenever the menu opens.
        connect(menu, &QMenu::aboutToShow, action,
                [action, checked = entry.checked] { action->setChecked(checked()); });
      }
      const uintptr_t command = entry.command;
      menuActions[command] = action;
      connect(action, &QAction::triggered, this, [this, command] {
        platform.Deliver({WM_COMMAND, command, 0});
      });
    }
  }
  setAcceptDrops(true);
  setCentralWidget(&panel);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  // Top-left of the screen; each further window a title bar lower and to the right.
  const int offset = slot.Index() * kWindowCascadePx;
  move(offset, offset);
  panel.setFocus();
  platform.AttachWindow(this);
}

void MainWindow::FillChoices(QMenu& submenu, uintptr_t command, const MenuChoices& choices) {
  submenu.clear();
  submenu.setEnabled(!choices.items.empty());
  auto* group = new QActionGroup(&submenu);
  for (size_t i = 0; i < choices.items.size(); ++i) {
    // A device's name is shown as it is, '&' included.
    QString text = QString::fromStdString(choices.items[i]);
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* item = submenu.addAction(text);
    item->setCheckable(true);
    item->setChecked(static_cast<int>(i) == choices.chosen);
    group->addAction(item);
    const auto index = static_cast<intptr_t>(i);
    connect(item, &QAction::triggered, this, [this, command, index] {
      platform.Deliver({WM_COMMAND, command, index});
    });
  }
}

QAction* MainWindow::MenuAction(uintptr_t command) const {
  const auto found = menuActions.find(command);
  return found == menuActions.end() ? nullptr : found->second;
}

int RunMainWindow(QtPlatform& platform, MainWindow& window) {
  platform.Deliver({WM_CREATE, 0, 0});
  if (platform.QuitAsked()) return platform.ExitCode();
  window.show();
  window.activateWindow();
  return QApplication::exec();
}

MainWindow::~MainWindow() {
  platform.AttachWindow(nullptr);
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // Closing destroys the window without a question; the core stops its timer and
  // ends the loop.
  e->accept();
  if (destroyed) return;
  destroyed = true;
  platform.Deliver({WM_DESTROY, 0, 0});
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!DraggedFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (!DraggedFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  const QString file = DraggedFile(e->mimeData());
  if (file.isEmpty()) return;
  e->acceptProposedAction();
  const QPoint at = panel.mapFrom(this, e->position().toPoint());
  // The core takes the file after the event: the file manager waits for the drop
  // to end, and an import may hold the window or open a message box.
  QMetaObject::invokeMethod(
      this,
      [this, path = QFile::encodeName(file).toStdString(), at] {
        platform.Deliver(
            {WM_DROPFILES, reinterpret_cast<uintptr_t>(&path), MakePointParam(at.x(), at.y())});
      },
      Qt::QueuedConnection);
}
