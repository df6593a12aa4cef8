#include "ui/control_manager.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/fake/fake_platform.h"

namespace {

std::vector<std::pair<char, int>> calls;  // handler kind, currentControl, dragX

void Press() {
  calls.push_back({'p', controlManager.currentControl});
}
void Drag() {
  calls.push_back({'d', controlManager.dragX});
}

Sprite Rect(int w, int h) {
  Sprite s;
  s.SetCorners(0, 0, w, h);
  return s;
}

class ControlManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controlManager.ClearControls();
    calls.clear();
  }
};

TEST_F(ControlManagerTest, LaterControlWinsOverlapAndEdgesAreExclusive) {
  const int under = controlManager.AddControl(Rect(100, 100), 0, 0);
  const int over = controlManager.AddControl(Rect(10, 10), 20, 20);
  EXPECT_EQ(under, 1);
  EXPECT_EQ(over, 2);
  controlManager.MouseDown(25, 25);
  EXPECT_EQ(controlManager.pressedControl, over);
  controlManager.MouseDown(30, 25);  // right edge of `over` is outside it
  EXPECT_EQ(controlManager.pressedControl, under);
  controlManager.MouseDown(25, 30);  // so is the bottom edge
  EXPECT_EQ(controlManager.pressedControl, under);
  controlManager.MouseDown(100, 5);
  EXPECT_EQ(controlManager.pressedControl, 0);
}

TEST_F(ControlManagerTest, PressOutsideEveryControlCallsNothingLater) {
  const int c = controlManager.AddControl(Rect(10, 10), 0, 0);
  controlManager.SetPressHandler(c, Press);
  controlManager.SetDragHandler(c, Drag);
  controlManager.MouseDown(50, 50);
  controlManager.MouseMove(5, 5);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(controlManager.buttonDown, 1);
}

TEST_F(ControlManagerTest, PressThenDragOrderAndDragWithoutPressHandler) {
  const int both = controlManager.AddControl(Rect(10, 10), 0, 0);
  controlManager.SetPressHandler(both, Press);
  controlManager.SetDragHandler(both, Drag);
  const int dragOnly = controlManager.AddControl(Rect(10, 10), 20, 0);
  controlManager.SetDragHandler(dragOnly, Drag);

  controlManager.MouseDown(3, 4);
  EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'p', both}, {'d', 3}}));
  controlManager.MouseUp(3, 4);

  calls.clear();
  controlManager.MouseDown(27, 4);
  EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'d', 27}}));
  EXPECT_EQ(controlManager.currentControl, dragOnly);  // still set after the handler
}

TEST_F(ControlManagerTest, DragFollowsPointerOutsideUntilRelease) {
  const int c = controlManager.AddControl(Rect(10, 10), 100, 100);
  controlManager.SetDragHandler(c, Drag);
  controlManager.MouseDown(105, 105);
  controlManager.MouseMove(-40, 300);  // far outside the control
  controlManager.MouseMove(600, 0);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].second, -40);
  EXPECT_EQ(calls[2].second, 600);
  controlManager.MouseUp(0, 0);
  controlManager.MouseMove(50, 50);
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_EQ(controlManager.pressedControl, 0);
}

TEST_F(ControlManagerTest, ZeroSizeControlIsNeverHitNorDrawn) {
  const int under = controlManager.AddControl(Rect(50, 50), 0, 0);
  const int empty = controlManager.AddControl(Rect(0, 10), 5, 5);
  controlManager.SetPressHandler(empty, Press);
  controlManager.MouseDown(5, 5);
  EXPECT_EQ(controlManager.pressedControl, under);
  EXPECT_TRUE(calls.empty());
  const int before = fakePlatform.invalidations;
  controlManager.DrawNormal(empty);
  EXPECT_EQ(fakePlatform.invalidations, before);
}

TEST_F(ControlManagerTest, TableHoldsAtMost1999Controls) {
  for (int i = 1; i < kMaxControls; ++i) ASSERT_EQ(controlManager.AddControl(Rect(1, 1), 0, 0), i);
  EXPECT_EQ(controlManager.AddControl(Rect(1, 1), 0, 0), 0);
  EXPECT_EQ(controlManager.controlCount, kMaxControls);
}

TEST_F(ControlManagerTest, DrawCopiesSpriteFromLayerIntoBackSurface) {
  controlManager.normalLayer.Create();
  controlManager.litLayer.Create();
  controlManager.backSurface.Create();
  controlManager.normalLayer.pixels[5 * kSkinWidth + 7] = 0xFF112233u;
  controlManager.litLayer.pixels[5 * kSkinWidth + 7] = 0xFFAABBCCu;
  Sprite s;
  s.SetCorners(7, 5, 9, 6);
  const int c = controlManager.AddControl(s, 100, 200);
  controlManager.DrawNormal(c);
  EXPECT_EQ(controlManager.backSurface.At(100, 200), 0xFF112233u);
  controlManager.DrawLit(c);
  EXPECT_EQ(controlManager.backSurface.At(100, 200), 0xFFAABBCCu);
  // A control partly off the surface is cut, not written past the edge.
  controlManager.SetPosition(c, kSkinWidth - 1, kSkinHeight - 1);
  controlManager.DrawNormal(c);
  EXPECT_EQ(controlManager.backSurface.At(kSkinWidth - 1, kSkinHeight - 1), 0xFF112233u);
  controlManager.ReleaseSkin();
}

}  // namespace
