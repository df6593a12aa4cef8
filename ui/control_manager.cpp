#include "ui/control_manager.h"

#include <algorithm>
#include <iterator>

#include "platform/platform.h"

ControlManager controlManager;

void ControlManager::ClearControls() {
  // A control's value is the panel's own state and AddControl leaves it alone, so
  // an emptied table starts from the zeros of a fresh program.
  std::fill(std::begin(value), std::end(value), 0);
  controlCount = 1;
  buttonDown = 0;
  pressedControl = 0;
  currentControl = 0;
  dragX = -1;
  pressKeys = 0;
}

int ControlManager::AddControl(Sprite sprite, int px, int py) {
  if (controlCount >= kMaxControls) return 0;
  const int i = controlCount++;
  pressHandler[i] = nullptr;
  dragHandler[i] = nullptr;
  x[i] = px;
  y[i] = py;
  width[i] = sprite.width;
  height[i] = sprite.height;
  spriteX[i] = sprite.x;
  spriteY[i] = sprite.y;
  tag[i] = -1;
  return i;
}

void ControlManager::SetPosition(int index, int px, int py) {
  x[index] = px;
  y[index] = py;
}

void ControlManager::SetSprite(int index, Sprite sprite) {
  spriteX[index] = sprite.x;
  spriteY[index] = sprite.y;
  width[index] = sprite.width;
  height[index] = sprite.height;
}

void ControlManager::SetTag(int index, int t) {
  tag[index] = t;
}
void ControlManager::SetPressHandler(int index, Handler h) {
  pressHandler[index] = h;
}
void ControlManager::SetDragHandler(int index, Handler h) {
  dragHandler[index] = h;
}

void ControlManager::Draw(const Surface& layer, int index) {
  if (width[index] <= 0 || height[index] <= 0) return;
  CopyRect(layer, spriteX[index], spriteY[index], width[index], height[index], backSurface,
           x[index], y[index]);
  platform().Invalidate(x[index], y[index], width[index], height[index]);
}

void ControlManager::DrawNormal(int index) {
  Draw(normalLayer, index);
}
void ControlManager::DrawLit(int index) {
  Draw(litLayer, index);
}

void ControlManager::Repaint() {
  platform().Invalidate(0, 0, kSkinWidth, kSkinHeight);
  platform().Flush();
}

int ControlManager::HitTest(int px, int py) const {
  for (int i = controlCount - 1; i >= 1; --i) {
    if (x[i] <= px && px < x[i] + width[i] && y[i] <= py && py < y[i] + height[i]) return i;
  }
  return 0;
}

void ControlManager::MouseDown(int px, int py, uint32_t keys) {
  buttonDown = 1;
  pressKeys = keys;
  pressedControl = 0;
  const int i = HitTest(px, py);
  if (i != 0) {
    pressedControl = i;
    if (pressHandler[i] != nullptr) {
      currentControl = i;
      pressHandler[i]();
    }
  }
  MouseMove(px, py);
}

void ControlManager::MouseMove(int px, int /*py*/) {
  if (buttonDown == 0 || pressedControl == 0) return;
  const int i = pressedControl;
  if (dragHandler[i] == nullptr) return;
  currentControl = i;
  dragX = px;
  dragHandler[i]();
}

void ControlManager::MouseUp(int /*px*/, int /*py*/) {
  buttonDown = 0;
  pressedControl = 0;
}
