// The one table of on-screen controls: hit testing, press and drag handlers, and
// drawing from the skin layers into the back surface.
#pragma once

#include <cstdint>

#include "ui/surface.h"

struct Sprite {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;

  // Right and bottom are exclusive.
  void SetCorners(int left, int top, int right, int bottom) {
    x = left;
    y = top;
    width = right - left;
    height = bottom - top;
  }
};

using Handler = void (*)();

constexpr int kMaxControls = 2000;

struct ControlManager {
  // The table, one array per field; index 0 is reserved for "no control".
  Handler pressHandler[kMaxControls] = {};
  Handler dragHandler[kMaxControls] = {};
  int32_t x[kMaxControls] = {};
  int32_t y[kMaxControls] = {};
  int32_t value[kMaxControls] = {};
  int32_t width[kMaxControls] = {};
  int32_t height[kMaxControls] = {};
  int32_t spriteX[kMaxControls] = {};
  int32_t spriteY[kMaxControls] = {};
  int32_t tag[kMaxControls] = {};

  int32_t controlCount = 1;
  int32_t buttonDown = 0;
  int32_t pressedControl = 0;
  int32_t currentControl = 0;
  int32_t dragX = -1;
  // The modifier keys held at the last press (MK_CONTROL), for its handlers.
  uint32_t pressKeys = 0;

  Surface normalLayer;
  Surface litLayer;
  Surface backSurface;

  int LoadSkin();
  void ReleaseSkin();

  int AddControl(Sprite sprite, int px, int py);
  void SetPosition(int index, int px, int py);
  void SetSprite(int index, Sprite sprite);
  void SetTag(int index, int t);
  void SetPressHandler(int index, Handler h);
  void SetDragHandler(int index, Handler h);

  void DrawNormal(int index);
  void DrawLit(int index);
  // Shows the whole back surface in the window.
  void Repaint();

  void MouseDown(int px, int py, uint32_t keys = 0);
  void MouseMove(int px, int py);
  void MouseUp(int px, int py);

  // Empties the table and the pointer state.
  void ClearControls();

 private:
  int HitTest(int px, int py) const;
  void Draw(const Surface& layer, int index);
};

extern ControlManager controlManager;
