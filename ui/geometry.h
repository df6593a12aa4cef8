// The panel's geometry, named once: every rectangle the panel cuts from the two
// skin pictures and every place it puts one. The panel, the text fields, the tool
// that draws the pictures and the tests all read it from here, so a control and
// its artwork cannot drift apart. It includes nothing, so the artwork tool can
// use it without the rest of the program.
#pragma once

namespace geometry {

// Right and bottom are exclusive, as in Sprite::SetCorners.
struct Rect {
  int left, top, right, bottom;
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
};

constexpr bool Contains(Rect r, int x, int y) {
  return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

// Each skin picture holds the panel at its top left; the font and the progress
// bar's images lie outside it.
constexpr Rect kSkin{0, 0, 942, 387};
constexpr Rect kPanel{0, 0, 514, 371};

constexpr Rect kNew{50, 50, 92, 96};
constexpr Rect kOpen{95, 50, 137, 96};
constexpr Rect kSave{140, 50, 182, 96};
constexpr Rect kHelp{185, 50, 227, 96};
constexpr Rect kImport{285, 57, 357, 80};
constexpr Rect kExport{367, 57, 439, 80};
// The banner's press area reaches a little past the panel's corner.
constexpr Rect kBanner{0, 344, 517, 374};

constexpr Rect kProgressWell{286, 84, 438, 94};
constexpr Rect kProgressEmpty{515, 42, 667, 52};
constexpr Rect kProgressFull{515, 52, 667, 62};

constexpr Rect kStop{230, 116, 250, 134};
constexpr Rect kPlay{251, 105, 290, 146};
constexpr Rect kPause{290, 115, 310, 135};

// The font: one cell per printable character, side by side in a band under the
// panel.
constexpr int kGlyphWidth = 6;
constexpr int kGlyphHeight = 8;
constexpr int kFirstGlyph = 32;
constexpr int kLastGlyph = 126;
constexpr Rect kFontBand{0, 371, kGlyphWidth*(kLastGlyph - kFirstGlyph + 1), 371 + kGlyphHeight};
constexpr Rect Glyph(int c) {
  const int left = kFontBand.left + kGlyphWidth * (c - kFirstGlyph);
  return {left, kFontBand.top, left + kGlyphWidth, kFontBand.bottom};
}

// A text field is a row of glyph cells.
constexpr Rect GlyphRow(int left, int top, int chars) {
  return {left, top, left + kGlyphWidth * chars, top + kGlyphHeight};
}
// A press this far left of or above a field, or this far below it, still lands in it.
constexpr int kFieldReachBefore = 4;
constexpr int kFieldReachBelow = 2;
constexpr Rect FieldReach(Rect field) {
  return {field.left - kFieldReachBefore, field.top - kFieldReachBefore, field.right,
          field.bottom + kFieldReachBelow};
}
constexpr int kTimeChars = 6;
constexpr Rect kTimeField = GlyphRow(331, 123, kTimeChars);

// The track strips: one row per track, track 1 at the top, across the tray that
// holds them.
constexpr int kTracks = 8;
constexpr int kStripTop = 149;
constexpr int kStripHeight = 18;
constexpr Rect kStripTray{104, 148, 448, 294};
constexpr int StripY(int t) {
  return kStripTop + kStripHeight * (t - 1);
}
constexpr Rect Strip(int t) {
  return {kStripTray.left, StripY(t), kStripTray.right, StripY(t) + kStripHeight};
}
constexpr Rect Speaker(int t) {
  return {134, StripY(t), 155, StripY(t) + kStripHeight};
}
constexpr Rect Arm(int t) {
  return {155, StripY(t), 181, StripY(t) + kStripHeight};
}
constexpr int kNameChars = 21;
constexpr Rect NameField(int t) {
  return GlyphRow(190, StripY(t) + 6, kNameChars);
}
constexpr Rect Effect(int t) {
  return {326, StripY(t) + 4, 344, StripY(t) + 16};
}
constexpr Rect Meter(int t) {
  return {350, StripY(t) + 1, 440, StripY(t) + 4};
}
constexpr Rect Volume(int t) {
  return {350, StripY(t) + 4, 440, StripY(t) + 16};
}
// A meter lights whole segments.
constexpr int kMeterSegment = 6;
// The effect button's two images: off at track 1's place, on at track 2's. Every
// strip shows them, and track 1's meter and slider, at its own place.
constexpr Rect kEffectOff = Effect(1);
constexpr Rect kEffectOn = Effect(2);

// One pixel a second from the bar's left edge.
constexpr Rect kPositionBar{159, 309, 440, 321};
constexpr int kPositionOriginX = kPositionBar.left;

// Markers stand on the bar above the position bar. Each is a triangle drawn with a
// pen cut from the lit picture, one row at a time, narrowing by a pixel on each
// side so that its tip points at its second on the position bar.
constexpr Rect kMarkerBar{155, 304, 445, 309};
constexpr Rect kMarkerPen{155, 304, 164, 305};
constexpr int kMarkerMaxPx = 280;
constexpr int kMarkerRows = (kMarkerPen.Width() + 1) / 2;
// Where the triangle of a marker at pixel px begins.
constexpr int MarkerX(int px) {
  return kPositionOriginX - kMarkerPen.Width() / 2 + px;
}
constexpr Rect MarkerRow(int px, int row) {
  const int left = MarkerX(px) + row;
  const int top = kMarkerPen.top + row;
  return {left, top, left + kMarkerPen.Width() - 2 * row, top + 1};
}
// The invisible grab area over a triangle, taller than the triangle.
constexpr Rect MarkerHandle(int px) {
  return {MarkerX(px), 299, MarkerX(px) + kMarkerPen.Width(), kMarkerBar.bottom};
}

}  // namespace geometry
