// The panel font: 6 x 8 cells, the glyph in the left 5 columns, capitals in rows
// 0 to 6 and descenders reaching row 7. The program draws every text on the panel
// from these cells, so each of the 95 printable characters must be unmistakable.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tools/skingen/raster.h"
#include "ui/geometry.h"

constexpr int kGlyphW = geometry::kGlyphWidth;
constexpr int kGlyphH = geometry::kGlyphHeight;
constexpr int kFirstChar = geometry::kFirstGlyph;
constexpr int kLastChar = geometry::kLastGlyph;

// Row bits of one glyph, bit 4 = leftmost column. Characters outside 32..126 give
// the blank glyph.
const std::array<uint8_t, kGlyphH>& GlyphRows(int ch);
bool GlyphInk(int ch, int col, int row);

// Width in pixels of a text drawn at the given scale, without the trailing gap.
int TextWidth(std::string_view text, int scale = 1);

// Ink only (the background shows through). Each font pixel becomes a scale x scale
// block.
void DrawText(Canvas& c, int x, int y, std::string_view text, Rgb ink, int scale = 1);
// Centred on cx.
void DrawTextCentred(Canvas& c, int cx, int y, std::string_view text, Rgb ink, int scale = 1);
// Text with a one-pixel cast shadow below and right, as if engraved into the panel.
void DrawEngraved(Canvas& c, int x, int y, std::string_view text, Rgb ink, Rgb shadow,
                  int scale = 1);
