#include "desktop/panel_widget.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "desktop/key_input.h"
#include "desktop/qt_platform.h"
#include "ui/control_manager.h"

PanelWidget::PanelWidget(QtPlatform& p, QWidget* parent) : QWidget(parent), platform(p) {
  setFixedSize(kPanelWidth, kPanelHeight);
  // Every paint covers the whole panel from the back surface: nothing to erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void PanelWidget::MarkDirty(const QRect& rect) {
  const QRect r = rect.intersected(QRect(0, 0, kPanelWidth, kPanelHeight));
  if (r.isEmpty()) return;
  dirty += r;
  update(r);
}

void PanelWidget::FlushDirty() {
  // A flush asked for while painting is already being served by that paint.
  if (painting || dirty.isEmpty()) return;
  const QRegion region = dirty;
  dirty = QRegion();
  repaint(region);
}

void PanelWidget::paintEvent(QPaintEvent* e) {
  painting = true;
  QPainter painter(this);
  const Surface& back = controlManager.backSurface;
  if (back.Empty()) {
    painter.fillRect(rect(), Qt::black);
  } else {
    const QImage image(reinterpret_cast<const uchar*>(back.pixels.data()), kSkinWidth, kSkinHeight,
                       kSkinWidth * 4, QImage::Format_RGB32);
    // Without smooth transformation the painter scales a high-density screen's
    // pixels by nearest neighbour, keeping the artwork crisp.
    painter.drawImage(QPoint(0, 0), image, QRect(0, 0, kPanelWidth, kPanelHeight));
  }
  painter.end();
  dirty -= e->region();
  painting = false;
  if (!painted) {
    painted = true;
    // The first paint's work may open a message box: it runs after this event.
    platform.Post({WM_PAINT, 0, 0});
  }
}

void PanelWidget::SendMouse(uint32_t message, const QMouseEvent* e) {
  const QPointF at = e->position();
  const int x = static_cast<int>(std::floor(at.x()));
  const int y = static_cast<int>(std::floor(at.y()));
  // Ctrl rides along as it did on the system the program was first written for.
  const uintptr_t keys = e->modifiers() & Qt::ControlModifier ? MK_CONTROL : 0;
  platform.Deliver({message, keys, MakePointParam(x, y)});
}

void PanelWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  leftDown = true;
  SendMouse(WM_LBUTTONDOWN, e);
}

void PanelWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  // A double click is two presses, as the window class took no double clicks.
  mousePressEvent(e);
}

void PanelWidget::mouseMoveEvent(QMouseEvent* e) {
  // A release can be lost while a modal box, opened by a press handler, holds the
  // input; a drag must not go on without the button, so the core sees it now.
  if (leftDown && !(e->buttons() & Qt::LeftButton)) {
    leftDown = false;
    SendMouse(WM_LBUTTONUP, e);
  }
  SendMouse(WM_MOUSEMOVE, e);
}

void PanelWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  leftDown = false;
  SendMouse(WM_LBUTTONUP, e);
}

bool PanelWidget::event(QEvent* e) {
  // Tab and Shift+Tab are the text fields' keys, never Qt's focus chain.
  if (e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QWidget::event(e);
}

bool PanelWidget::focusNextPrevChild(bool) {
  return false;
}

void PanelWidget::keyPressEvent(QKeyEvent* e) {
  for (const Message& m : KeyPressMessages(e->key(), e->modifiers(), e->text())) {
    platform.Deliver(m);
  }
  e->accept();
}
