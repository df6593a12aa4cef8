// A started program whose skin layers are filled so that every pixel of the
// back surface tells which layer, and which place of it, was copied there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/window_proc.h"
#include "base/paths.h"
#include "panel/panel.h"
#include "panel/text_fields.h"
#include "panel/transport.h"
#include "panel_places.h"
#include "song/song_state.h"
#include "tests/fake/fake_platform.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

inline uint32_t NormalAt(int x, int y) {
  return 0xFF000000u | static_cast<uint32_t>(y) << 10 | static_cast<uint32_t>(x);
}
inline uint32_t LitAt(int x, int y) {
  return NormalAt(x, y) | 0x00800000u;
}
inline uint32_t Shown(int x, int y) {
  return controlManager.backSurface.At(x, y);
}

// The glyph of c (normal or lit) sits with its top-left corner at (x, y).
inline bool GlyphAt(char c, int x, int y, bool lit = false) {
  const geometry::Rect g = geometry::Glyph(static_cast<unsigned char>(c));
  auto layer = lit ? LitAt : NormalAt;
  return Shown(x, y) == layer(g.left, g.top) &&
         Shown(x + g.Width() - 1, y + g.Height() - 1) == layer(g.right - 1, g.bottom - 1);
}

inline std::string FieldText(int i) {
  return std::string(textFields.text[i], static_cast<size_t>(textFields.length[i]));
}

inline void Click(int x, int y) {
  controlManager.MouseDown(x, y);
  controlManager.MouseUp(x, y);
}
inline void Click(Point p) {
  Click(p.x, p.y);
}
// A press with Ctrl held, as the window hands it to the core.
inline void CtrlClick(Point p) {
  WindowProc(WM_LBUTTONDOWN, MK_CONTROL, MakePointParam(p.x, p.y));
  WindowProc(WM_LBUTTONUP, 0, MakePointParam(p.x, p.y));
}
inline void Drag(int fromX, int y, int toX) {
  controlManager.MouseDown(fromX, y);
  controlManager.MouseMove(toX, y);
  controlManager.MouseUp(toX, y);
}

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(::testing::TempDir()) /
           (std::string("panel_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::create_directories(dir_);
    programDir = workDir = dir_.string() + "/";

    // The steps of window creation, with the layers painted before the panel draws.
    controlManager.LoadSkin();
    for (int y = 0; y < kSkinHeight; ++y) {
      for (int x = 0; x < kSkinWidth; ++x) {
        controlManager.normalLayer.pixels[static_cast<size_t>(y) * kSkinWidth + x] = NormalAt(x, y);
        controlManager.litLayer.pixels[static_cast<size_t>(y) * kSkinWidth + x] = LitAt(x, y);
      }
    }
    textFields.Init();
    ASSERT_EQ(MixerInit(), 1);
    fakePlatform.Reset();
  }

  void TearDown() override {
    if (song.running != 0) StopToStart();
    AppShutdown();
    fakePlatform.Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::filesystem::path dir_;
};
