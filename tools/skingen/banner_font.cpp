// The large face of the product name: a geometric sans drawn by hand on a pixel
// grid, ascenders 14 pixels, x-height 10, strokes two pixels wide. "#" is ink,
// "+" a half-covered pixel that rounds a curve off, "." empty.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/skingen/art.h"

namespace {

struct BigGlyph {
  char ch;
  const char* rows[14];  // top to bottom; lowercase leaves the first four empty
};

constexpr BigGlyph kBig[] = {
    {'S',
     {".+#####+.", "+#######+", "##+....##", "##.......", "##+......", "+######+.", ".+######+",
      "......+##", ".......##", ".......##", "##.....##", "##+...+##", "+#######+", ".+#####+."}},
    {'o',
     {"", "", "", "", ".+#####+.", "+#######+", "##+...+##", "##.....##", "##.....##", "##.....##",
      "##.....##", "##+...+##", "+#######+", ".+#####+."}},
    {'n',
     {"", "", "", "", "##+####+.", "#########", "###...+##", "##.....##", "##.....##", "##.....##",
      "##.....##", "##.....##", "##.....##", "##.....##"}},
    {'a',
     {"", "", "", "", ".+####+##", "+########", "##+...+##", "##.....##", "##.....##", "##.....##",
      "##.....##", "##+...+##", "+########", ".+####+##"}},
    {'v',
     {"", "", "", "", "##.....##", "##.....##", "+#+...+#+", ".##...##.", ".+#+.+#+.", "..##.##..",
      "..+#+#+..", "...###...", "...+#+...", "....#...."}},
    {'e',
     {"", "", "", "", ".+#####+.", "+#######+", "##+...+##", "##.....##", "#########", "#########",
      "##.......", "##+....+.", "+#######+", ".+######."}},
    {'l', {"##", "##", "##", "##", "##", "##", "##", "##", "##", "##", "##", "##", "##", "##"}},
};

const BigGlyph* Find(char ch) {
  for (const BigGlyph& g : kBig)
    if (g.ch == ch) return &g;
  return nullptr;
}

int GlyphWidth(const BigGlyph& g) {
  size_t w = 0;
  for (const char* r : g.rows) w = std::max(w, std::strlen(r));
  return static_cast<int>(w);
}

double Coverage(char p) {
  return p == '#' ? 1.0 : p == '+' ? 0.55 : p == '.' ? 0.0 : 0.0;
}

}  // namespace

constexpr int kBigHeight = 14, kBigGap = 3;

int BigTextWidth(std::string_view text) {
  int w = 0;
  for (char ch : text)
    if (const BigGlyph* g = Find(ch)) w += GlyphWidth(*g) + kBigGap;
  return w > 0 ? w - kBigGap : 0;
}

void DrawBigText(Canvas& c, int x, int y, std::string_view text, Rgb top, Rgb bottom, Rgb shadow) {
  // Shadow first (down and right, as the light comes from the top left), then the
  // face with a vertical sheen.
  for (int pass = 0; pass < 2; ++pass) {
    int gx = x;
    for (char ch : text) {
      const BigGlyph* g = Find(ch);
      if (!g) continue;
      for (int row = 0; row < kBigHeight; ++row) {
        const char* r = g->rows[row];
        Rgb face = Mix(top, bottom, static_cast<double>(row) / (kBigHeight - 1));
        for (int col = 0; r[col]; ++col) {
          double a = Coverage(r[col]);
          if (a <= 0) continue;
          if (pass == 0)
            c.Blend(gx + col + 1, y + row + 1, shadow, a * 0.9);
          else
            c.Blend(gx + col, y + row, face, a);
        }
      }
      gx += GlyphWidth(*g) + kBigGap;
    }
  }
}
