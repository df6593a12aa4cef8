// The controls of the panel, each in its normal and its lit state. A control never
// paints outside its own rectangle: the program swaps whole rectangles between the
// two pictures, and anything spilling over would leave a seam next to a neighbour.
#include <algorithm>
#include <cmath>

#include "tools/skingen/art.h"
#include "tools/skingen/font.h"
#include "tools/skingen/layout.h"

namespace {

bool InRoundRect(Box b, double r, double x, double y) {
  double dx = std::max({b.x0 + r - x, 0.0, x - (b.x1 - r)});
  double dy = std::max({b.y0 + r - y, 0.0, y - (b.y1 - r)});
  return dx * dx + dy * dy <= r * r;
}

// A narrow face of four columns for the effect labels, where the panel font's
// five-column letters would not leave the window a margin.
void DrawNarrow(Canvas& c, int x, int y, std::string_view text, Rgb ink) {
  auto rows = [](char ch) -> std::array<uint8_t, 7> {
    switch (ch) {
      case 'F':
        return {0b1111, 0b1000, 0b1000, 0b1110, 0b1000, 0b1000, 0b1000};
      case 'X':
        return {0b1001, 0b1001, 0b0110, 0b0110, 0b0110, 0b1001, 0b1001};
      case 'R':
        return {0b1110, 0b1001, 0b1001, 0b1110, 0b1010, 0b1001, 0b1001};
      case 'E':
        return {0b1111, 0b1000, 0b1000, 0b1110, 0b1000, 0b1000, 0b1111};
      case 'V':
        return {0b1001, 0b1001, 0b1001, 0b1001, 0b1001, 0b0110, 0b0110};
      default:
        return {};
    }
  };
  for (size_t i = 0; i < text.size(); ++i) {
    auto r = rows(text[i]);
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 4; ++col)
        if ((r[static_cast<size_t>(row)] >> (3 - col)) & 1)
          c.Set(x + static_cast<int>(i) * 5 + col, y + row, ink);
  }
}

int NarrowWidth(std::string_view text) {
  return static_cast<int>(text.size()) * 5 - 1;
}

// A line of thickness w from (x0, y0) to (x1, y1), anti-aliased.
void Stroke(Canvas& c, double x0, double y0, double x1, double y1, double w, Rgb ink) {
  double dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
  double nx = -dy / len * w / 2, ny = dx / len * w / 2;
  c.FillPolygon({{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}},
                ink);
}

// Pixel-exact one-pixel frame, for icons that must stay crisp at this size.
void Frame(Canvas& c, int x0, int y0, int x1, int y1, Rgb ink) {
  c.Outline({x0, y0, x1, y1}, ink);
}

void IconNew(Canvas& c, int cx, int cy, Rgb ink) {
  // A sheet with its corner folded, and a plus.
  int x0 = cx - 6, y0 = cy - 8, x1 = cx + 6, y1 = cy + 8;
  c.FillAlpha({x0, y0, x1, y1}, ink, 0.12);
  for (int x = x0; x < x1 - 4; ++x) c.Set(x, y0, ink);
  for (int y = y0; y < y1; ++y) c.Set(x0, y, ink);
  for (int x = x0; x < x1; ++x) c.Set(x, y1 - 1, ink);
  for (int y = y0 + 4; y < y1; ++y) c.Set(x1 - 1, y, ink);
  for (int k = 0; k < 5; ++k) c.Set(x1 - 5 + k, y0 + k, ink);  // the fold's edge
  for (int k = 0; k < 4; ++k) {
    c.Set(x1 - 5, y0 + k, ink);
    c.Set(x1 - 5 + k, y0 + 4, ink);
  }
  c.Fill({cx - 3, cy + 1, cx + 4, cy + 2}, ink);
  c.Fill({cx, cy - 2, cx + 1, cy + 5}, ink);
}

void IconOpen(Canvas& c, int cx, int cy, Rgb ink) {
  // A folder, its front flap tilted open.
  int x0 = cx - 8, y0 = cy - 6, x1 = cx + 8, y1 = cy + 7;
  Frame(c, x0, y0 + 2, x1 - 2, y1, ink);
  for (int x = x0; x < x0 + 6; ++x) c.Set(x, y0, ink);
  c.Set(x0, y0 + 1, ink);
  c.Set(x0 + 6, y0 + 1, ink);
  c.FillPolygon(
      {{x0 + 3.0, y0 + 6.0}, {x1 + 0.0, y0 + 6.0}, {x1 - 3.0, y1 + 0.0}, {x0 + 0.0, y1 + 0.0}}, ink,
      0.35);
  Stroke(c, x0 + 3.0, y0 + 6.5, x1 - 0.5, y0 + 6.5, 1.0, ink);
  Stroke(c, x1 - 0.5, y0 + 6.5, x1 - 3.5, y1 - 0.5, 1.0, ink);
}

void IconSave(Canvas& c, int cx, int cy, Rgb ink) {
  // A diskette: body, shutter, label.
  int x0 = cx - 7, y0 = cy - 7, x1 = cx + 8, y1 = cy + 8;
  c.FillAlpha({x0, y0, x1, y1}, ink, 0.12);
  Frame(c, x0, y0, x1, y1, ink);
  c.Set(x1 - 1, y0, pal::kKeyTop);
  c.Fill({x0 + 3, y0 + 1, x1 - 4, y0 + 5}, ink);
  c.Fill({x1 - 7, y0 + 2, x1 - 5, y0 + 4}, pal::kKeyBottom);
  Frame(c, x0 + 2, y0 + 8, x1 - 2, y1, ink);
  c.Fill({x0 + 4, y0 + 10, x1 - 4, y0 + 11}, ink);
  c.Fill({x0 + 4, y0 + 12, x1 - 6, y0 + 13}, ink);
}

void IconHelp(Canvas& c, int cx, int cy, Rgb ink) {
  c.FillShape(
      {cx - 9, cy - 9, cx + 10, cy + 10},
      [&](double x, double y) {
        double d = std::sqrt((x - cx - 0.5) * (x - cx - 0.5) + (y - cy - 0.5) * (y - cy - 0.5));
        return d <= 8.2 && d >= 6.9;
      },
      ink);
  DrawText(c, cx - 2, cy - 3, "?", ink);
}

}  // namespace

int GrainRow(int y) {
  constexpr int kTop = 149, kBottom = 149 + 8 * 18;
  if (y >= kTop && y < kBottom) return kTop + (y - kTop) % 18;
  return y;
}

void FillBrushed(Canvas& c, Box b, Rgb base, uint32_t seed, bool grainAlongRows) {
  for (int y = b.y0; y < b.y1; ++y) {
    int gy = GrainRow(y);
    double row = 1.6 * Noise(0, gy, seed);
    for (int x = b.x0; x < b.x1; ++x) {
      int i = x / 13;
      double t = (x - i * 13) / 13.0;
      double streak = Noise(i, gy, seed + 1) * (1 - t) + Noise(i + 1, gy, seed + 1) * t;
      double n = grainAlongRows ? 2.2 * row : row + 1.8 * streak + 0.7 * Noise(x, gy, seed + 2);
      c.Set(x, y, Lighten(base, static_cast<int>(std::lround(n))));
    }
  }
}

void DrawRecess(Canvas& c, Box b, Rgb fill) {
  c.Bevel(b, pal::kShadow, Mix(pal::kEdgeLight, pal::kPanel, 0.3));
  c.Fill(b.Inset(1), fill);
}

void DrawScrew(Canvas& c, double cx, double cy) {
  c.FillDisk(cx + 0.6, cy + 0.8, 3.6, pal::kShadow, 0.7);
  c.FillDome(cx, cy, 3.3, Hex(0x6A717A), 34);
  Stroke(c, cx - 2.2, cy + 1.4, cx + 2.2, cy - 1.4, 1.0, Hex(0x2A2E33));
}

void DrawKey(Canvas& c, Box b, bool pressed, double r) {
  Box face{b.x0 + 1, b.y0 + 1, b.x1 - 2, b.y1 - 2};
  if (pressed) {
    face = face.Moved(1, 1);
    c.FillRoundRect(face.Moved(-1, -1), r, pal::kShadow, 0.55);  // the well it sank into
    c.FillShaded(
        face, [&](double x, double y) { return InRoundRect(face, r, x, y); },
        [&](int, int y) {
          return Mix(pal::kKeyPressedTop, pal::kKeyPressedBottom,
                     static_cast<double>(y - face.y0) / std::max(1, face.H() - 1));
        });
    // Inner shadow along the top and left of a sunk key.
    c.FillShape(
        face,
        [&](double x, double y) {
          return InRoundRect(face, r, x, y) && !InRoundRect(face.Moved(1, 1), r, x, y);
        },
        pal::kShadow, 0.6);
    return;
  }
  c.FillRoundRect(face.Moved(1, 1), r, pal::kShadow, 0.7);
  c.FillRoundRect(face.Moved(1, 1).Inset(-1), r + 1, pal::kShadow, 0.15);
  c.FillRoundRect(face, r, Hex(0x6C737C));
  Box inner{face.x0 + 1, face.y0 + 1, face.x1, face.y1};
  c.FillRoundRect(inner, r, Hex(0x1F2226));
  Box body{face.x0 + 1, face.y0 + 1, face.x1 - 1, face.y1 - 1};
  c.FillShaded(
      body, [&](double x, double y) { return InRoundRect(body, std::max(0.5, r - 1), x, y); },
      [&](int, int y) {
        return Mix(pal::kKeyTop, pal::kKeyBottom,
                   static_cast<double>(y - body.y0) / std::max(1, body.H() - 1));
      });
}

void DrawFileButton(Canvas& c, Box b, int kind, std::string_view caption, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 4);
  int o = lit ? 1 : 0;
  Rgb ink = lit ? pal::kAmber : pal::kLabel;
  int cx = (b.x0 + b.x1) / 2 - 1 + o, cy = b.y0 + 17 + o;
  if (lit) c.Glow(cx + 0.5, cy + 0.5, 15, pal::kAmber, 0.22);
  switch (kind) {
    case kIconNew:
      IconNew(c, cx, cy, ink);
      break;
    case kIconOpen:
      IconOpen(c, cx, cy, ink);
      break;
    case kIconSave:
      IconSave(c, cx, cy, ink);
      break;
    default:
      IconHelp(c, cx, cy, ink);
      break;
  }
  DrawTextCentred(c, cx + 1, b.y0 + 32 + o, caption, lit ? Hex(0xFFD89A) : pal::kLabel);
}

void DrawWideButton(Canvas& c, Box b, std::string_view caption, bool arrowDown, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 3);
  int o = lit ? 1 : 0;
  Rgb ink = lit ? Hex(0xFFD89A) : pal::kLabel;
  int textW = TextWidth(caption);
  int x = (b.x0 + b.x1 - 1) / 2 - (textW + 10) / 2 + o;
  int y = b.y0 + 7 + o;
  // The arrow says which way the audio goes: into the armed track, or out of the mix.
  Rgb arrow = lit ? pal::kAmber : pal::kAccent;
  double ax = x + 3.0, ay = y + 4.0;
  if (arrowDown) {
    c.Fill({x + 2, y, x + 4, y + 4}, arrow);
    c.FillPolygon({{ax - 3.5, ay}, {ax + 3.5, ay}, {ax, ay + 4}}, arrow);
  } else {
    c.Fill({x + 2, y + 4, x + 4, y + 8}, arrow);
    c.FillPolygon({{ax - 3.5, ay}, {ax + 3.5, ay}, {ax, ay - 4}}, arrow);
  }
  DrawText(c, x + 10, y, caption, ink);
}

void DrawStop(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 3);
  int o = lit ? 1 : 0;
  Box sq{b.x0 + 7 + o, b.y0 + 5 + o, b.x0 + 13 + o, b.y0 + 11 + o};
  if (lit) c.Glow(sq.x0 + 3.0, sq.y0 + 3.0, 9, Hex(0xE8F0F4), 0.35);
  c.Fill(sq, lit ? Hex(0xF4F8FA) : pal::kLabel);
}

void DrawPause(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 3);
  int o = lit ? 1 : 0;
  Rgb ink = lit ? pal::kAmber : pal::kLabel;
  if (lit) c.Glow(b.x0 + 9.5 + o, b.y0 + 9.0 + o, 9, pal::kAmber, 0.35);
  c.Fill({b.x0 + 6 + o, b.y0 + 5 + o, b.x0 + 8 + o, b.y0 + 13 + o}, ink);
  c.Fill({b.x0 + 11 + o, b.y0 + 5 + o, b.x0 + 13 + o, b.y0 + 13 + o}, ink);
}

void DrawPlay(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  double cx = (b.x0 + b.x1) / 2.0, cy = (b.y0 + b.y1) / 2.0;
  // A round key in a machined collar.
  c.FillDisk(cx, cy, 19.2, pal::kShadow, 0.85);
  c.FillDisk(cx + 0.5, cy + 0.5, 18.6, Hex(0x3E444B));
  c.FillDisk(cx, cy, 18.0, Hex(0x1A1D20));
  double o = lit ? 0.7 : 0.0;
  if (lit) {
    // A lit ring round the key tells "running" from across the room.
    c.FillDisk(cx, cy, 18.0, pal::kGreen);
    c.FillDisk(cx, cy, 16.4, Hex(0x12281A));
    c.FillDome(cx + o, cy + o, 15.6, Hex(0x2A6A41), -18);
    c.Glow(cx + 1 + o, cy + o, 16, pal::kGreen, 0.55);
  } else {
    c.FillDisk(cx + 1.2, cy + 1.2, 16.0, pal::kShadow, 0.8);
    c.FillDome(cx, cy, 15.6, Hex(0x41474F), 30);
  }
  Rgb tri = lit ? Hex(0x9CFFBC) : Hex(0x3FA463);
  double tx = cx - 4.5 + o, ty = cy + o;
  c.FillPolygon({{tx, ty - 8}, {tx + 13, ty}, {tx, ty + 8}}, tri);
}

void DrawSpeaker(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 2.5);
  int o = lit ? 1 : 0;
  Box face{b.x0 + 2, b.y0 + 2, b.x1 - 1, b.y1 - 1};
  if (lit) {
    c.FillAlpha(face.Inset(1), pal::kGreen, 0.16);
    c.Glow(b.x0 + 10.0 + o, b.y0 + 9.0 + o, 10, pal::kGreen, 0.35);
  }
  Rgb ink = lit ? Hex(0xA8FFC4) : pal::kLabelDim;
  double cx = b.x0 + 8.0 + o, cy = b.y0 + 8.5 + o;
  // Magnet and cone, then the sound it makes.
  c.FillPolygon({{cx - 4, cy - 2},
                 {cx - 1, cy - 2},
                 {cx + 3, cy - 5.5},
                 {cx + 3, cy + 5.5},
                 {cx - 1, cy + 2},
                 {cx - 4, cy + 2}},
                ink);
  for (double r : {5.5, 8.5}) {
    c.FillShape(
        {static_cast<int>(cx) + 3, static_cast<int>(cy) - 8, b.x1 - 1, static_cast<int>(cy) + 9},
        [&](double x, double y) {
          double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
          return x > cx + 4 && d >= r && d <= r + 1.1 && std::abs(y - cy) < r * 0.72;
        },
        ink, lit ? 1.0 : 0.85);
  }
}

void DrawArm(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  DrawKey(c, b, lit, 2.5);
  double o = lit ? 1 : 0;
  double cx = (b.x0 + b.x1 - 1) / 2.0 + o, cy = b.y0 + 8.5 + o;
  if (lit) {
    c.FillAlpha(Box{b.x0 + 3, b.y0 + 3, b.x1 - 2, b.y1 - 2}, pal::kRed, 0.14);
    c.Glow(cx, cy, 10, pal::kRed, 0.5);
    c.FillDisk(cx, cy, 4.2, Hex(0xFF5A45));
    c.FillDisk(cx - 1.0, cy - 1.2, 1.6, Hex(0xFFC7B8), 0.9);
  } else {
    c.FillDisk(cx, cy, 4.6, pal::kShadow, 0.8);
    c.FillDome(cx, cy, 3.9, Hex(0x6E1C17), -20);
  }
}

void DrawEffectLabel(Canvas& c, Box b, bool on) {
  ClipTo clip(c, b);
  // A small indicator window: "FX" in grey when the track is dry, "REV" lit amber
  // when it goes through the reverb.
  c.Bevel(b, pal::kShadow, Mix(pal::kEdgeLight, pal::kTray, 0.4));
  Box in = b.Inset(1);
  c.Fill(in, on ? Hex(0x2E1F08) : Hex(0x121518));
  std::string_view text = on ? "REV" : "FX";
  int x = in.x0 + (in.W() - NarrowWidth(text)) / 2, y = in.y0 + 1;
  if (on) {
    c.FillAlpha({in.x0, in.y0, in.x1, in.y0 + 1}, pal::kAmber, 0.25);
    DrawNarrow(c, x, y, text, pal::kAmber);
  } else {
    DrawNarrow(c, x, y, text, pal::kLabelDim);
  }
}

void DrawMeter(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  for (int i = 0; i < layout::kMeterSegments; ++i) {
    double t = i / (layout::kMeterSegments - 1.0);
    Rgb col = t < 0.62 ? Mix(pal::kGreen, Hex(0xC8E04A), t / 0.62)
                       : (t < 0.8 ? Mix(Hex(0xFFC23A), pal::kAmber, (t - 0.62) / 0.18)
                                  : Mix(Hex(0xFF7A2E), pal::kRed, (t - 0.8) / 0.2));
    for (int row = 0; row < b.H(); ++row) {
      Rgb seg =
          lit ? (row == 0 ? Mix(col, Hex(0xFFFFFF), 0.35) : (row == 2 ? Lighten(col, -30) : col))
              : Mix(col, Hex(0x0A0C0D), row == 0 ? 0.72 : 0.8);
      const int x = b.x0 + layout::kMeterSegment * i;
      for (int k = 0; k < layout::kMeterSegment - 1; ++k) c.Set(x + k, b.y0 + row, seg);
      c.Set(x + layout::kMeterSegment - 1, b.y0 + row, Hex(0x0A0C0D));
    }
  }
}

void DrawVolume(Canvas& c, Box b, bool lit) {
  ClipTo clip(c, b);
  // Rows: metal, shadow edge, eight rows of channel, light edge, metal. The normal
  // look is the same in every column except the fader cap at its left end: the
  // program shows the left part of it wherever the lit fill ends, so the cap rides
  // on the end of the fill.
  int top = b.y0 + 1, bottom = b.y1 - 2;
  for (int x = b.x0; x < b.x1; ++x) {
    c.Set(x, top, pal::kShadow);
    c.Set(x, bottom, Mix(pal::kEdgeLight, pal::kTray, 0.2));
    double t = static_cast<double>(x - b.x0) / (b.W() - 1);
    for (int y = top + 1; y < bottom; ++y) {
      int row = y - top - 1;  // 0..7
      Rgb col;
      if (lit) {
        Rgb base = Mix(Hex(0x1B5E55), Hex(0x6FCDB4), t);
        col = row == 0 ? Mix(base, Hex(0xFFFFFF), 0.35) : (row >= 6 ? Lighten(base, -28) : base);
      } else {
        col = row == 0 ? Hex(0x07090A) : (row == 3 || row == 4 ? Hex(0x181C1F) : Hex(0x0E1113));
      }
      c.Set(x, y, col);
    }
  }
  if (!lit) {
    for (int y = top; y <= bottom; ++y) {
      c.Set(b.x0, y, Hex(0xD5DCE2));
      c.Set(b.x0 + 1, y, Hex(0x8A939C));
      c.Set(b.x0 + 2, y, Hex(0x050607));
    }
  }
}

void DrawProgress(Canvas& c, Box b, int state) {
  ClipTo clip(c, b);
  c.Bevel(b, pal::kShadow, Mix(pal::kEdgeLight, pal::kPanel, 0.3));
  Box in = b.Inset(1);
  for (int y = in.y0; y < in.y1; ++y) {
    int row = y - in.y0;
    for (int x = in.x0; x < in.x1; ++x) {
      Rgb col = Hex(0x0B0D0F);
      if (state == 1) col = row == 0 ? Hex(0x1A140A) : Hex(0x231A0C);
      if (state == 2) {
        double t = static_cast<double>(x - in.x0) / (in.W() - 1);
        Rgb base = Mix(Hex(0xC9701E), pal::kAmber, t);
        col = row == 0 ? Mix(base, Hex(0xFFFFFF), 0.4)
                       : (row >= in.H() - 2 ? Lighten(base, -35) : base);
      }
      c.Set(x, y, col);
    }
  }
}
