#include "ui/surface.h"

#include <algorithm>
#include <cstring>

void CopyRect(const Surface& src, int sx, int sy, int w, int h, Surface& dst, int dx, int dy) {
  if (src.Empty() || dst.Empty() || w <= 0 || h <= 0) return;
  // Clip the source rectangle, then the destination, moving both together.
  auto clip = [&](int& s, int& d, int& len, int limitS, int limitD) {
    if (s < 0) {
      d -= s;
      len += s;
      s = 0;
    }
    if (d < 0) {
      s -= d;
      len += d;
      d = 0;
    }
    len = std::min({len, limitS - s, limitD - d});
  };
  clip(sx, dx, w, kSkinWidth, kSkinWidth);
  clip(sy, dy, h, kSkinHeight, kSkinHeight);
  if (w <= 0 || h <= 0) return;
  for (int row = 0; row < h; ++row) {
    const uint32_t* from = &src.pixels[static_cast<size_t>(sy + row) * kSkinWidth + sx];
    uint32_t* to = &dst.pixels[static_cast<size_t>(dy + row) * kSkinWidth + dx];
    std::memmove(to, from, static_cast<size_t>(w) * sizeof(uint32_t));
  }
}
