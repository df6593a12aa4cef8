// A tiny software rasteriser for the skin artwork. Everything is computed with our
// own integer and double arithmetic (no fonts, no platform paint engine), so the
// pictures come out byte-identical wherever the tool runs.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// t = 0 gives a, t = 1 gives b.
Rgb Mix(Rgb a, Rgb b, double t);
// Adds d to every channel (negative darkens), limited to 0..255.
Rgb Lighten(Rgb c, int d);
constexpr Rgb Hex(uint32_t v) {
  return Rgb{static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
             static_cast<int>(v & 0xFF)};
}

// Rectangles are (x0, y0)-(x1, y1), right and bottom exclusive, like the panel's.
struct Box {
  int x0, y0, x1, y1;
  constexpr int W() const { return x1 - x0; }
  constexpr int H() const { return y1 - y0; }
  constexpr Box Inset(int d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
  constexpr Box Moved(int dx, int dy) const { return {x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
};

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb Get(int x, int y) const;
  // Writes outside the canvas are dropped.
  void Set(int x, int y, Rgb c);
  void Blend(int x, int y, Rgb c, double alpha);

  void Fill(Box b, Rgb c);
  void FillAlpha(Box b, Rgb c, double alpha);
  void VGradient(Box b, Rgb top, Rgb bottom);
  void HGradient(Box b, Rgb left, Rgb right);
  // A one-pixel bevel: top and left edges in `tl`, bottom and right in `br`.
  void Bevel(Box b, Rgb tl, Rgb br);
  void Outline(Box b, Rgb c);

  // Anti-aliased fill of the set of points (in pixel units, pixel centres at +0.5)
  // for which inside() holds, sampled 4 x 4 per pixel within the bounding box.
  void FillShape(Box bounds, const std::function<bool(double, double)>& inside, Rgb c,
                 double opacity = 1.0);
  // The same with a colour chosen per pixel.
  void FillShaded(Box bounds, const std::function<bool(double, double)>& inside,
                  const std::function<Rgb(int, int)>& colour, double opacity = 1.0);
  void FillDisk(double cx, double cy, double r, Rgb c, double opacity = 1.0);
  // Disk shaded as a lit dome: light from the top left.
  void FillDome(double cx, double cy, double r, Rgb base, int relief);
  void FillRoundRect(Box b, double radius, Rgb c, double opacity = 1.0);
  void FillPolygon(const std::vector<std::pair<double, double>>& pts, Rgb c, double opacity = 1.0);
  // A soft halo around a point, fading to nothing at radius r.
  void Glow(double cx, double cy, double r, Rgb c, double strength);

  // Copies a rectangle of another canvas (or of this one) to (dx, dy).
  void Blit(const Canvas& src, Box from, int dx, int dy);

  // Drawing outside the clip is dropped; controls draw clipped to their own
  // rectangle so that swapping one between the pictures never leaves a seam.
  void SetClip(Box b);
  void ResetClip() { clip_ = {0, 0, width_, height_}; }
  Box Clip() const { return clip_; }

  // Raw 0xRRGGBB pixels, rows top to bottom.
  const std::vector<uint32_t>& Pixels() const { return px_; }

 private:
  int width_, height_;
  Box clip_;
  std::vector<uint32_t> px_;
};

class ClipTo {
 public:
  ClipTo(Canvas& c, Box b) : c_(c), saved_(c.Clip()) { c.SetClip(b); }
  ~ClipTo() { c_.SetClip(saved_); }
  ClipTo(const ClipTo&) = delete;
  ClipTo& operator=(const ClipTo&) = delete;

 private:
  Canvas& c_;
  Box saved_;
};

// Small deterministic noise in -1..1 from integer coordinates.
double Noise(int x, int y, uint32_t seed);
