// Composes the panel from the controls of art.h, in the places of layout.h.
#include "tools/skingen/panel.h"

#include <cmath>
#include <initializer_list>
#include <string>

#include "tools/skingen/art.h"
#include "tools/skingen/font.h"
#include "tools/skingen/layout.h"

namespace {

using namespace layout;

constexpr Box kTimeWindow = kTimeField.Inset(-6);

void DrawTitle(Canvas& c) {
  FillBrushed(c, {kPanel.x0, kPanel.y0, kPanel.x1, 40}, pal::kTitle, 21);
  for (int x = kPanel.x0; x < kPanel.x1; ++x) {
    c.Set(x, 0, Mix(pal::kTitle, pal::kEdgeLight, 0.6));
    c.Set(x, 40, pal::kShadow);
    c.Set(x, 41, Mix(pal::kPanel, pal::kEdgeLight, 0.5));
  }
  DrawScrew(c, 10.5, 20.5);
  DrawScrew(c, 503.5, 20.5);
  c.Fill({22, 17, 26, 21}, pal::kAccent);
  DrawEngraved(c, 32, 15, "EIGHT-TRACK DIGITAL RECORDER", pal::kLabel, pal::kShadow);
  std::string_view format = "44.1 kHz  16-bit  stereo";
  DrawEngraved(c, 492 - TextWidth(format), 15, format, pal::kLabelDim, pal::kShadow);
}

void DrawCommandButtons(Canvas& c, bool lit) {
  DrawFileButton(c, kNew, kIconNew, "NEW", lit);
  DrawFileButton(c, kOpen, kIconOpen, "OPEN", lit);
  DrawFileButton(c, kSave, kIconSave, "SAVE", lit);
  DrawFileButton(c, kHelp, kIconHelp, "HELP", lit);
  // An engraved rule under the song buttons, named in the middle.
  int mid = (kNew.x0 + kHelp.x1) / 2, half = TextWidth("SONG") / 2 + 5;
  for (int x = kNew.x0 + 2; x < kHelp.x1 - 2; ++x) {
    if (x > mid - half && x < mid + half) continue;
    c.Set(x, 102, pal::kShadow);
    c.Set(x, 103, Mix(pal::kEdgeLight, pal::kPanel, 0.4));
  }
  DrawTextCentred(c, mid + 1, 99, "SONG", pal::kLabelDim);
  DrawTextCentred(c, (kImport.x0 + kExport.x1) / 2, 46, "WAV  OGG  MP3", pal::kLabelDim);
  DrawWideButton(c, kImport, "IMPORT", true, lit);
  DrawWideButton(c, kExport, "EXPORT", false, lit);
  DrawProgress(c, kProgressWell, 0);
}

void DrawTransport(Canvas& c, bool lit) {
  DrawStop(c, kStop, lit);
  DrawPlay(c, kPlay, lit);
  DrawPause(c, kPause, lit);
  DrawEngraved(c, kTimeWindow.x0 + 1, 107, "TIME", pal::kLabelDim, pal::kShadow);
  c.Bevel(kTimeWindow.Inset(-1), Mix(pal::kShadow, pal::kPanel, 0.4),
          Mix(pal::kEdgeLight, pal::kPanel, 0.2));
  DrawRecess(c, kTimeWindow, pal::kWell);
}

void DrawHeadings(Canvas& c) {
  Rgb ink = pal::kLabelDim;
  DrawTextCentred(c, 119, 139, "TRK", ink);
  DrawTextCentred(c, 144, 139, "PLAY", ink);
  DrawTextCentred(c, 170, 139, "REC", ink);
  DrawText(c, NameField(1).x0, 139, "TRACK NAME", ink);
  DrawTextCentred(c, 336, 139, "FX", ink);
  DrawText(c, Volume(1).x0, 139, "LEVEL/VOLUME", ink);
}

void DrawStrips(Canvas& c, bool lit) {
  FillBrushed(c, kTray, pal::kTray, 31, true);
  c.Bevel(kTray, pal::kShadow, Mix(pal::kEdgeLight, pal::kPanel, 0.3));
  for (int t = 1; t <= kTracks; ++t) {
    int y0 = StripY(t);
    // The seam between strips, identical in every strip.
    for (int x = kTray.x0 + 1; x < kTray.x1 - 1; ++x) {
      c.Set(x, y0, Hex(0x16181B));
      c.Set(x, y0 + 1, Mix(pal::kTray, pal::kEdgeLight, 0.25));
    }
    DrawEngraved(c, 116, y0 + 6, std::to_string(t), pal::kLabel, pal::kShadow);
    DrawSpeaker(c, Speaker(t), lit);
    DrawArm(c, Arm(t), lit);
    const Box name = NameField(t);
    DrawRecess(c, {name.x0 - 3, name.y0 - 3, name.x1 + 3, name.y1 + 2}, pal::kWell);
    DrawEffectLabel(c, Effect(t), t == 2);
    DrawMeter(c, Meter(t), lit);
    DrawVolume(c, Volume(t), lit);
  }
}

void DrawPosition(Canvas& c, bool lit) {
  DrawText(c, 150 - TextWidth("IN/OUT"), 302, "IN/OUT", pal::kLabelDim);
  DrawText(c, 150 - TextWidth("POS"), 311, "POS", pal::kLabelDim);
  // Markers ride on a dark rail; in the lit picture the rail's top row is the
  // marker colour that the triangles are cut from.
  for (int y = kMarkerBar.y0; y < kMarkerBar.y1; ++y)
    for (int x = kMarkerBar.x0; x < kMarkerBar.x1; ++x)
      c.Set(x, y, lit ? pal::kMarker : (y == kMarkerBar.y0 ? Hex(0x15181B) : Hex(0x111315)));
  Box bar = kPositionBar;
  c.Bevel(bar, pal::kShadow, Mix(pal::kEdgeLight, pal::kPanel, 0.3));
  for (int y = bar.y0 + 1; y < bar.y1 - 1; ++y) {
    int row = y - bar.y0 - 1;
    for (int x = bar.x0 + 1; x < bar.x1 - 1; ++x) {
      Rgb col;
      if (lit) {
        double t = static_cast<double>(x - bar.x0) / (bar.W() - 1);
        Rgb base = Mix(Hex(0x1F5F9A), Hex(0x6EC6FF), t);
        col = row == 0 ? Mix(base, Hex(0xFFFFFF), 0.35) : (row >= 8 ? Lighten(base, -30) : base);
      } else {
        col = row == 0 ? Hex(0x07090A) : Hex(0x0E1113);
      }
      c.Set(x, y, col);
    }
  }
  // Minute marks inside the bar (the lit fill keeps them, slightly darker).
  for (int m = 1; m <= 4; ++m) {
    int x = bar.x0 + 60 * m;
    for (int y = bar.y0 + 2; y < bar.y1 - 1; ++y)
      c.Set(x, y, lit ? Mix(c.Get(x, y), Hex(0x000000), 0.35) : Hex(0x262B30));
  }
  // The scale below: one pixel per second from x 159.
  Rgb tick = pal::kLabelDim;
  for (int s = 0; s <= 281; s += 10) {
    int len = s % 60 == 0 ? 4 : 2;
    for (int y = bar.y1; y < bar.y1 + len; ++y) c.Set(bar.x0 + s, y, tick);
  }
  for (int y = bar.y1; y < bar.y1 + 4; ++y) c.Set(bar.x0 + 280, y, tick);
  for (int m = 0; m <= 4; ++m) {
    std::string label = std::to_string(m) + ":00";
    DrawTextCentred(c, bar.x0 + 60 * m + 1, bar.y1 + 5, label, pal::kLabel);
  }
  DrawTextCentred(c, bar.x0 + 281, bar.y1 + 5, "4:41", pal::kAccent);
}

void DrawKeysCard(Canvas& c) {
  // A reminder of the keys, which nothing else on the panel shows.
  Box card{10, 150, 98, 292};
  DrawRecess(c, card, Hex(0x1C1F23));
  int x = card.x0 + 6, y = card.y0 + 8;
  struct Line {
    const char* key;
    const char* what;
  };
  auto block = [&](const char* title, std::initializer_list<Line> lines) {
    DrawText(c, x, y, title, pal::kAccent);
    y += 13;
    for (const Line& l : lines) {
      DrawText(c, x, y, l.key, pal::kLabel);
      DrawText(c, x + 29, y, l.what, pal::kLabelDim);
      y += 11;
    }
    y += 10;
  };
  block("PLAYING", {{"I", "mark in"}, {"O", "mark out"}});
  block("NAMES", {{"Tab", "next"}, {"Del", "delete"}, {"Bksp", "erase"}});
  block("STOPPED", {{"bar", "seek"}});
}

void DrawVents(Canvas& c) {
  for (int i = 0; i < 10; ++i) {
    Box slot{462, 156 + 13 * i, 500, 161 + 13 * i};
    c.FillRoundRect(slot, 2.5, Hex(0x08090A));
    c.FillRoundRect({slot.x0, slot.y1 - 1, slot.x1, slot.y1 + 1}, 1.0, pal::kEdgeLight, 0.35);
  }
}

void DrawBanner(Canvas& c) {
  Box b{kBanner.x0, kBanner.y0, kPanel.x1, kPanel.y1};
  for (int y = b.y0; y < b.y1; ++y) {
    double t = static_cast<double>(y - b.y0) / (b.H() - 1);
    Rgb row = Mix(Hex(0x1D2024), pal::kBanner, t);
    for (int x = b.x0; x < b.x1; ++x)
      c.Set(x, y, Lighten(row, static_cast<int>(std::lround(0.8 * Noise(x, y, 41)))));
  }
  for (int x = kPanel.x0; x < kPanel.x1; ++x) {
    c.Set(x, b.y0 - 1, pal::kShadow);
    c.Set(x, b.y0, Mix(pal::kEdgeLight, pal::kBanner, 0.2));
  }
  DrawBigText(c, 20, 351, "Sonavel", Hex(0xF4F6F8), Hex(0x9EA7B0), Hex(0x000000));
  int end = 20 + BigTextWidth("Sonavel");
  c.Fill({end + 4, 363, end + 8, 365}, pal::kAccent);
  std::string_view tag = "multitrack recorder";
  DrawText(c, 494 - TextWidth(tag), 354, tag, pal::kLabelDim);
}

void DrawFontBand(Canvas& c, bool lit) {
  // Plain glyphs sit on the display wells; the highlighted ones are the caret,
  // shown inverted.
  Rgb paper = lit ? pal::kInk : pal::kWell;
  Rgb ink = lit ? pal::kWell : pal::kInk;
  c.Fill(kFontBand, paper);
  for (int ch = kFirstChar; ch <= kLastChar; ++ch)
    DrawText(c, Glyph(ch).x0, Glyph(ch).y0, std::string(1, static_cast<char>(ch)), ink);
}

}  // namespace

Canvas DrawSkin(bool lit) {
  Canvas c(kWidth, kHeight, pal::kOffPicture);
  FillBrushed(c, {kPanel.x0, kPanel.y0, kPanel.x1, kBanner.y0}, pal::kPanel, 11);
  DrawTitle(c);
  DrawCommandButtons(c, lit);
  DrawTransport(c, lit);
  DrawHeadings(c);
  DrawStrips(c, lit);
  DrawPosition(c, lit);
  DrawKeysCard(c);
  DrawVents(c);
  DrawBanner(c);
  DrawFontBand(c, lit);
  DrawProgress(c, kProgressEmpty, 1);
  DrawProgress(c, kProgressFull, 2);
  return c;
}

Canvas DrawIcon() {
  // The panel in miniature: a lit meter bridge over a dark display, and the record
  // light.
  Canvas c(32, 32, pal::kShadow);
  c.VGradient({0, 0, 32, 32}, Hex(0x40464E), Hex(0x25282D));
  c.Bevel({0, 0, 32, 32}, Hex(0x6A727C), Hex(0x0B0C0E));
  Box window{4, 10, 28, 28};
  c.Bevel(window, pal::kShadow, Hex(0x555C65));
  c.Fill(window.Inset(1), Hex(0x0A0C0E));
  const int levels[] = {4, 6, 3, 5};
  for (int i = 0; i < 4; ++i) {
    int x = 6 + 5 * i + (i >= 2 ? 1 : 0);
    for (int s = 0; s < 5; ++s) {
      int y = 24 - 3 * s;
      Rgb col = s < 3 ? pal::kGreen : (s < 4 ? pal::kAmber : pal::kRed);
      bool on = s < levels[i];
      c.Fill({x, y, x + 4, y + 2}, on ? col : Mix(col, Hex(0x0A0C0E), 0.8));
    }
  }
  c.Glow(24.5, 5.5, 5.5, pal::kRed, 0.45);
  c.FillDisk(24.5, 5.5, 2.6, pal::kRed);
  c.FillDisk(23.8, 4.8, 0.9, Hex(0xFFC7B8), 0.8);
  c.Fill({5, 5, 17, 6}, pal::kLabel);
  c.Fill({5, 7, 13, 8}, pal::kLabelDim);
  return c;
}
