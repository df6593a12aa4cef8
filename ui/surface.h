// An off-screen picture the size of a skin: 942 x 387 pixels, 0xFFRRGGBB each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/geometry.h"

constexpr int kSkinWidth = geometry::kSkin.Width();
constexpr int kSkinHeight = geometry::kSkin.Height();

struct Surface {
  std::vector<uint32_t> pixels;  // empty until created

  void Create() { pixels.assign(static_cast<size_t>(kSkinWidth) * kSkinHeight, 0xFF000000u); }
  void Release() { std::vector<uint32_t>().swap(pixels); }
  bool Empty() const { return pixels.empty(); }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * kSkinWidth + x]; }
};

// Copies a w x h rectangle from (sx, sy) of src to (dx, dy) of dst, cut to both
// surfaces' bounds (the original block copy clipped to its device the same way).
void CopyRect(const Surface& src, int sx, int sy, int w, int h, Surface& dst, int dx, int dy);
