// The client area: shows the panel from the core's back surface and turns mouse
// and key input into the core's messages.
#pragma once

#include <QRegion>
#include <QWidget>

#include "ui/geometry.h"

class QtPlatform;

constexpr int kPanelWidth = geometry::kPanel.Width();
constexpr int kPanelHeight = geometry::kPanel.Height();

class PanelWidget : public QWidget {
 public:
  PanelWidget(QtPlatform& platform, QWidget* parent);

  // A rectangle of the back surface changed: it is painted at the next paint.
  void MarkDirty(const QRect& rect);
  // Paints the changed rectangles now, without running the event loop.
  void FlushDirty();

 protected:
  bool event(QEvent* e) override;
  bool focusNextPrevChild(bool next) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void SendMouse(uint32_t message, const QMouseEvent* e);

  QtPlatform& platform;
  QRegion dirty;
  bool painting = false;
  bool painted = false;
  // The core has seen a press and not yet its release.
  bool leftDown = false;
};
