#include "tools/skingen/raster.h"

#include <algorithm>
#include <cmath>

namespace {

int Clamp255(double v) {
  // Round half up with a fixed rule so every platform lands on the same byte.
  int i = static_cast<int>(std::floor(v + 0.5));
  return std::clamp(i, 0, 255);
}

uint32_t Pack(Rgb c) {
  return (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) |
         static_cast<uint32_t>(c.b);
}

}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
  return Rgb{Clamp255(a.r + (b.r - a.r) * t), Clamp255(a.g + (b.g - a.g) * t),
             Clamp255(a.b + (b.b - a.b) * t)};
}

Rgb Lighten(Rgb c, int d) {
  return Rgb{std::clamp(c.r + d, 0, 255), std::clamp(c.g + d, 0, 255), std::clamp(c.b + d, 0, 255)};
}

double Noise(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return (static_cast<double>(h & 0xFFFF) / 32767.5) - 1.0;
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width),
      height_(height),
      clip_{0, 0, width, height},
      px_(static_cast<size_t>(width) * height, Pack(fill)) {}

void Canvas::SetClip(Box b) {
  clip_ = {std::max(b.x0, 0), std::max(b.y0, 0), std::min(b.x1, width_), std::min(b.y1, height_)};
}

Rgb Canvas::Get(int x, int y) const {
  uint32_t v = px_[static_cast<size_t>(y) * width_ + x];
  return Hex(v);
}

void Canvas::Set(int x, int y, Rgb c) {
  if (x < clip_.x0 || y < clip_.y0 || x >= clip_.x1 || y >= clip_.y1) return;
  px_[static_cast<size_t>(y) * width_ + x] = Pack(c);
}

void Canvas::Blend(int x, int y, Rgb c, double alpha) {
  if (x < clip_.x0 || y < clip_.y0 || x >= clip_.x1 || y >= clip_.y1 || alpha <= 0.0) return;
  Set(x, y, alpha >= 1.0 ? c : Mix(Get(x, y), c, alpha));
}

void Canvas::Fill(Box b, Rgb c) {
  for (int y = b.y0; y < b.y1; ++y)
    for (int x = b.x0; x < b.x1; ++x) Set(x, y, c);
}

void Canvas::FillAlpha(Box b, Rgb c, double alpha) {
  for (int y = b.y0; y < b.y1; ++y)
    for (int x = b.x0; x < b.x1; ++x) Blend(x, y, c, alpha);
}

void Canvas::VGradient(Box b, Rgb top, Rgb bottom) {
  for (int y = b.y0; y < b.y1; ++y) {
    double t = b.H() > 1 ? static_cast<double>(y - b.y0) / (b.H() - 1) : 0.0;
    Rgb c = Mix(top, bottom, t);
    for (int x = b.x0; x < b.x1; ++x) Set(x, y, c);
  }
}

void Canvas::HGradient(Box b, Rgb left, Rgb right) {
  for (int x = b.x0; x < b.x1; ++x) {
    double t = b.W() > 1 ? static_cast<double>(x - b.x0) / (b.W() - 1) : 0.0;
    Rgb c = Mix(left, right, t);
    for (int y = b.y0; y < b.y1; ++y) Set(x, y, c);
  }
}

void Canvas::Bevel(Box b, Rgb tl, Rgb br) {
  for (int x = b.x0; x < b.x1; ++x) {
    Set(x, b.y0, tl);
    Set(x, b.y1 - 1, br);
  }
  for (int y = b.y0 + 1; y < b.y1 - 1; ++y) {
    Set(b.x0, y, tl);
    Set(b.x1 - 1, y, br);
  }
}

void Canvas::Outline(Box b, Rgb c) {
  Bevel(b, c, c);
}

void Canvas::FillShape(Box bounds, const std::function<bool(double, double)>& inside, Rgb c,
                       double opacity) {
  FillShaded(
      bounds, inside, [c](int, int) { return c; }, opacity);
}

void Canvas::FillShaded(Box bounds, const std::function<bool(double, double)>& inside,
                        const std::function<Rgb(int, int)>& colour, double opacity) {
  for (int y = bounds.y0; y < bounds.y1; ++y) {
    for (int x = bounds.x0; x < bounds.x1; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
      if (hits) Blend(x, y, colour(x, y), opacity * hits / 16.0);
    }
  }
}

void Canvas::FillDisk(double cx, double cy, double r, Rgb c, double opacity) {
  Box bounds{static_cast<int>(std::floor(cx - r)), static_cast<int>(std::floor(cy - r)),
             static_cast<int>(std::ceil(cx + r)) + 1, static_cast<int>(std::ceil(cy + r)) + 1};
  FillShape(
      bounds,
      [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, c,
      opacity);
}

void Canvas::FillDome(double cx, double cy, double r, Rgb base, int relief) {
  int x0 = static_cast<int>(std::floor(cx - r)), x1 = static_cast<int>(std::ceil(cx + r)) + 1;
  int y0 = static_cast<int>(std::floor(cy - r)), y1 = static_cast<int>(std::ceil(cy + r)) + 1;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          double px = x + (sx + 0.5) / 4.0 - cx, py = y + (sy + 0.5) / 4.0 - cy;
          if (px * px + py * py <= r * r) ++hits;
        }
      if (!hits) continue;
      double px = x + 0.5 - cx, py = y + 0.5 - cy;
      // Brightest towards the top left, darkest towards the bottom right.
      double t = -(px + py) / (2.0 * r);
      Blend(x, y, Lighten(base, static_cast<int>(std::lround(t * relief))), hits / 16.0);
    }
  }
}

void Canvas::FillRoundRect(Box b, double radius, Rgb c, double opacity) {
  FillShape(
      b,
      [&](double x, double y) {
        double dx = std::max({b.x0 + radius - x, 0.0, x - (b.x1 - radius)});
        double dy = std::max({b.y0 + radius - y, 0.0, y - (b.y1 - radius)});
        return dx * dx + dy * dy <= radius * radius;
      },
      c, opacity);
}

void Canvas::FillPolygon(const std::vector<std::pair<double, double>>& pts, Rgb c, double opacity) {
  double minx = 1e9, miny = 1e9, maxx = -1e9, maxy = -1e9;
  for (auto [x, y] : pts) {
    minx = std::min(minx, x);
    miny = std::min(miny, y);
    maxx = std::max(maxx, x);
    maxy = std::max(maxy, y);
  }
  Box bounds{static_cast<int>(std::floor(minx)), static_cast<int>(std::floor(miny)),
             static_cast<int>(std::ceil(maxx)) + 1, static_cast<int>(std::ceil(maxy)) + 1};
  FillShape(
      bounds,
      [&](double x, double y) {
        bool in = false;  // even-odd crossing test
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
          auto [xi, yi] = pts[i];
          auto [xj, yj] = pts[j];
          if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
      },
      c, opacity);
}

void Canvas::Glow(double cx, double cy, double r, Rgb c, double strength) {
  int x0 = static_cast<int>(std::floor(cx - r)), x1 = static_cast<int>(std::ceil(cx + r));
  int y0 = static_cast<int>(std::floor(cy - r)), y1 = static_cast<int>(std::ceil(cy + r));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      double d = std::sqrt((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy)) / r;
      if (d < 1.0) Blend(x, y, c, strength * (1.0 - d) * (1.0 - d));
    }
}

void Canvas::Blit(const Canvas& src, Box from, int dx, int dy) {
  // Through a copy, so overlapping copies within one canvas behave.
  std::vector<Rgb> tmp;
  tmp.reserve(static_cast<size_t>(from.W()) * from.H());
  for (int y = from.y0; y < from.y1; ++y)
    for (int x = from.x0; x < from.x1; ++x) tmp.push_back(src.Get(x, y));
  size_t i = 0;
  for (int y = 0; y < from.H(); ++y)
    for (int x = 0; x < from.W(); ++x) Set(dx + x, dy + y, tmp[i++]);
}
