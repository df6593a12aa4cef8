#include <gtest/gtest.h>
#include <zlib.h>

#include <set>
#include <vector>

#include "base/bytes.h"
#include "tools/skingen/art.h"
#include "tools/skingen/encode.h"
#include "tools/skingen/font.h"
#include "tools/skingen/layout.h"
#include "tools/skingen/panel.h"

namespace {

using namespace layout;

// Drawing takes a moment; every test looks at the same two pictures.
const Canvas& Normal() {
  static const Canvas c = DrawSkin(false);
  return c;
}
const Canvas& Lit() {
  static const Canvas c = DrawSkin(true);
  return c;
}

bool SameRect(const Canvas& a, Box ra, const Canvas& b, int bx, int by) {
  for (int y = 0; y < ra.H(); ++y)
    for (int x = 0; x < ra.W(); ++x)
      if (!(a.Get(ra.x0 + x, ra.y0 + y) == b.Get(bx + x, by + y))) return false;
  return true;
}

bool Inside(Box b, int x, int y) {
  return x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
}

std::vector<Box> LitControls() {
  std::vector<Box> v = {kNew,  kOpen,  kSave,     kHelp,    kImport,      kExport,   kStop,
                        kPlay, kPause, Volume(1), Meter(1), kPositionBar, kMarkerPen};
  for (int t = 1; t <= kTracks; ++t) {
    v.push_back(Speaker(t));
    v.push_back(Arm(t));
  }
  return v;
}

uint32_t Le32(const std::vector<uint8_t>& v, size_t at) {
  return LoadU32(v.data() + at);
}

TEST(SkinFiles, BmpIsTheCanonicalBottomUpLayout) {
  std::vector<uint8_t> f = EncodeBmp(Normal());
  ASSERT_EQ(f.size(), 1094490u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f, 2), 1094450u);
  EXPECT_EQ(Le32(f, 6), 0u);
  EXPECT_EQ(Le32(f, 10), 54u);
  EXPECT_EQ(Le32(f, 14), 40u);
  EXPECT_EQ(Le32(f, 18), 942u);
  EXPECT_EQ(Le32(f, 22), 387u);
  EXPECT_EQ(LoadU16(f.data() + 26), 1u);
  EXPECT_EQ(LoadU16(f.data() + 28), 24u);
  EXPECT_EQ(Le32(f, 30), 0u);
  EXPECT_EQ(Le32(f, 34), 1094436u);
  EXPECT_EQ(Le32(f, 38), 2834u);
  EXPECT_EQ(Le32(f, 42), 2834u);
  EXPECT_EQ(Le32(f, 46), 0u);
  EXPECT_EQ(Le32(f, 50), 0u);
  // The top-left pixel is in the last stored row, blue first; row padding is zero.
  Rgb tl = Normal().Get(0, 0);
  size_t last = 54 + 386u * 2828;
  EXPECT_EQ(f[last], tl.b);
  EXPECT_EQ(f[last + 1], tl.g);
  EXPECT_EQ(f[last + 2], tl.r);
  Rgb bl = Normal().Get(941, 386);
  EXPECT_EQ(f[54 + 941 * 3 + 2], bl.r);
  EXPECT_EQ(f[54 + 2826], 0);
  EXPECT_EQ(f[54 + 2827], 0);
}

TEST(SkinFiles, CmpBlobUnpacksToTheFile) {
  std::vector<uint8_t> bmp = EncodeBmp(Lit());
  std::vector<uint8_t> blob = PackCmp(bmp);
  ASSERT_GT(blob.size(), 8u);
  EXPECT_EQ(blob[0], 'C');
  EXPECT_EQ(blob[1], 'M');
  EXPECT_EQ(blob[2], 'P');
  EXPECT_EQ(blob[3], 0);
  EXPECT_EQ(Le32(blob, 4), bmp.size());
  std::vector<uint8_t> back(2000000);
  uLongf n = back.size();
  ASSERT_EQ(uncompress(back.data(), &n, blob.data() + 8, blob.size() - 8), Z_OK);
  back.resize(n);
  EXPECT_EQ(back, bmp);
}

TEST(SkinFiles, IconIsOpaqueAndDrawn) {
  Canvas icon = DrawIcon();
  ASSERT_EQ(icon.Width(), 32);
  ASSERT_EQ(icon.Height(), 32);
  std::vector<uint32_t> px = IconPixels(icon);
  ASSERT_EQ(px.size(), 1024u);
  std::set<uint32_t> colours;
  for (uint32_t p : px) {
    EXPECT_EQ(p >> 24, 0xFFu);
    colours.insert(p);
  }
  EXPECT_GT(colours.size(), 8u);
}

TEST(SkinFiles, DrawingIsReproducible) {
  EXPECT_EQ(EncodeBmp(DrawSkin(false)), EncodeBmp(Normal()));
  EXPECT_EQ(DrawIcon().Pixels(), DrawIcon().Pixels());
}

// Reads the escapes of one generated array back into bytes.
std::vector<uint8_t> ParseLiteral(const std::string& src, const std::string& name) {
  std::vector<uint8_t> out;
  size_t at = src.find("char " + name + "[");
  size_t end = src.find(';', at);
  for (size_t i = src.find("\\x", at); i < end; i = src.find("\\x", i + 4))
    out.push_back(static_cast<uint8_t>(std::stoi(src.substr(i + 2, 2), nullptr, 16)));
  return out;
}

TEST(SkinFiles, GeneratedSourceCarriesTheExactBytes) {
  std::vector<uint8_t> a = {'C', 'M', 'P', 0, 0x00, 0xFF, 0x5C, 0x22, 0x3F, 0x0A};
  std::vector<uint8_t> b(200);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37);
  std::vector<uint32_t> icon(32 * 32, 0xFF123456u);
  std::string src = SkinDataSource(a, b, icon);
  EXPECT_EQ(ParseLiteral(src, "kNormalSkin"), a);
  EXPECT_EQ(ParseLiteral(src, "kLitSkin"), b);
  EXPECT_NE(src.find("NormalSkinBlob() { return {kNormalSkin, 10}; }"), std::string::npos);
  EXPECT_NE(src.find("LitSkinBlob() { return {kLitSkin, 200}; }"), std::string::npos);
  EXPECT_NE(src.find("0xFF123456u"), std::string::npos);
  EXPECT_EQ(src.find("#include <Q"), std::string::npos) << "the core library has no Qt";
}

TEST(PanelFont, GlyphsAreDistinctWithBuiltInSpacing) {
  for (const Canvas* pic : {&Normal(), &Lit()}) {
    std::set<std::vector<uint32_t>> seen;
    Rgb paper = pic->Get(0, kFontBand.y0);  // the space glyph
    for (int ch = kFirstChar; ch <= kLastChar; ++ch) {
      const Box g = Glyph(ch);
      std::vector<uint32_t> cell;
      for (int y = g.y0; y < g.y1; ++y)
        for (int x = g.x0; x < g.x1; ++x) {
          Rgb p = pic->Get(x, y);
          cell.push_back((p.r << 16) | (p.g << 8) | p.b);
          if (x == g.x1 - 1) {
            EXPECT_EQ(p, paper) << "spacing column of glyph " << ch;
          }
        }
      EXPECT_TRUE(seen.insert(cell).second) << "glyph " << ch << " repeats another";
    }
  }
  // Each highlighted glyph looks different from its plain self.
  for (int ch = kFirstChar; ch <= kLastChar; ++ch)
    EXPECT_FALSE(SameRect(Normal(), Glyph(ch), Lit(), Glyph(ch).x0, Glyph(ch).y0)) << ch;
}

TEST(PanelFont, ConfusableCharactersDifferInShape) {
  auto rows = [](char c) { return GlyphRows(c); };
  for (auto [a, b] : {std::pair{'0', 'O'},
                      {'1', 'l'},
                      {'1', 'I'},
                      {'l', 'I'},
                      {'l', '|'},
                      {'5', 'S'},
                      {'2', 'Z'},
                      {'8', 'B'},
                      {'O', 'D'}}) {
    int diff = 0;
    for (int r = 0; r < kGlyphH; ++r) diff += __builtin_popcount(rows(a)[r] ^ rows(b)[r]);
    EXPECT_GE(diff, 3) << a << " and " << b << " are too alike";
  }
}

TEST(PanelFont, TextCellsSitOnTheGlyphBackground) {
  // Glyph cells are copied over the name wells and the time window, so the wells
  // must be exactly the font's paper.
  Rgb paper = Normal().Get(0, kFontBand.y0);
  std::vector<Box> fields = {kTimeField};
  for (int t = 1; t <= kTracks; ++t) fields.push_back(NameField(t));
  for (Box f : fields)
    for (int y = f.y0 - 1; y < f.y1 + 1; ++y)
      for (int x = f.x0 - 1; x < f.x1 + 1; ++x)
        ASSERT_EQ(Normal().Get(x, y), paper) << x << "," << y;
}

TEST(PanelArt, LitDiffersInsideEveryLitControlAndNowhereElse) {
  std::vector<Box> lit = LitControls();
  for (Box b : lit) {
    EXPECT_TRUE(b.x0 >= 0 && b.y0 >= 0 && b.x1 <= kPanel.x1 && b.y1 <= kPanel.y1);
  }
  for (Box b : lit) EXPECT_FALSE(SameRect(Normal(), b, Lit(), b.x0, b.y0)) << b.x0 << "," << b.y0;
  // Outside the controls the pictures agree, so a lit control never brings a stray
  // pixel of the other picture along.
  for (int y = 0; y < kPanel.y1; ++y)
    for (int x = 0; x < kPanel.x1; ++x) {
      bool inControl = Inside(kMarkerBar, x, y);
      for (int t = 1; t <= kTracks && !inControl; ++t)
        inControl = Inside(Volume(t), x, y) || Inside(Meter(t), x, y);
      for (Box b : lit) inControl = inControl || Inside(b, x, y);
      if (!inControl) {
        ASSERT_EQ(Normal().Get(x, y), Lit().Get(x, y)) << x << "," << y;
      }
    }
}

TEST(PanelArt, SharedStripSpritesFitEveryStrip) {
  // Effect, volume and meter of every strip are drawn from track 1's row: each
  // strip's own artwork, and the metal around it, must match track 1's.
  for (const Canvas* pic : {&Normal(), &Lit()})
    for (int t = 2; t <= kTracks; ++t) {
      int dy = StripY(t) - StripY(1);
      Box around{Effect(1).x0 - 2, StripY(1), Volume(1).x1 + 2, StripY(1) + kStripHeight};
      if (t != 2) {
        EXPECT_TRUE(SameRect(*pic, around, *pic, around.x0, around.y0 + dy)) << "strip " << t;
      }
      Box meterAndVolume{Meter(1).x0 - 2, StripY(1), Volume(1).x1 + 2, StripY(1) + kStripHeight};
      EXPECT_TRUE(SameRect(*pic, meterAndVolume, *pic, meterAndVolume.x0, meterAndVolume.y0 + dy))
          << "strip " << t;
    }
}

TEST(PanelArt, VolumeSliderReadsRightWhereverItsLeftPartIsPlaced) {
  // The unlit rest of a slider is the left end of the normal artwork moved to where
  // the fill ends: apart from the cap at that end, every column must be the same.
  Box v = Volume(1);
  for (int x = v.x0 + 4; x < v.x1; ++x)
    for (int y = v.y0; y < v.y1; ++y) ASSERT_EQ(Normal().Get(x, y), Normal().Get(v.x0 + 3, y)) << x;
  // Fill and rest meet without a step in the metal and edge rows above and below
  // the channel, wherever the fill ends.
  for (int y : {v.y0, v.y0 + 1, v.y1 - 2, v.y1 - 1})
    for (int x = v.x0; x < v.x1; ++x) {
      ASSERT_EQ(Lit().Get(x, y), Normal().Get(v.x1 - 1, y)) << x << "," << y;
    }
  // The meter's lit line has 15 segments of 6 pixels.
  Box m = Meter(1);
  for (int i = 0; i < kMeterSegments; ++i) {
    const int x = m.x0 + kMeterSegment * i;
    EXPECT_FALSE(Lit().Get(x, m.y0 + 1) == Lit().Get(x + kMeterSegment - 1, m.y0 + 1));
    EXPECT_FALSE(Normal().Get(x, m.y0 + 1) == Lit().Get(x, m.y0 + 1));
  }
}

TEST(PanelArt, MarkerAndProgressImagesAreDrawn) {
  Rgb marker = Lit().Get(kMarkerPen.x0, kMarkerPen.y0);
  for (int x = kMarkerPen.x0; x < kMarkerPen.x1; ++x) {
    EXPECT_EQ(Lit().Get(x, kMarkerPen.y0), marker);
    EXPECT_FALSE(Normal().Get(x, kMarkerPen.y0) == marker);
  }
  // Empty and full bars differ inside and join without a seam at their borders.
  EXPECT_FALSE(SameRect(Normal(), kProgressEmpty, Normal(), kProgressFull.x0, kProgressFull.y0));
  EXPECT_FALSE(SameRect(Normal(), kProgressEmpty, Normal(), kProgressWell.x0, kProgressWell.y0));
  for (int x = kProgressEmpty.x0; x < kProgressEmpty.x1; ++x) {
    EXPECT_EQ(Normal().Get(x, kProgressEmpty.y0), Normal().Get(x, kProgressFull.y0));
    EXPECT_EQ(Normal().Get(x, kProgressEmpty.y1 - 1), Normal().Get(x, kProgressFull.y1 - 1));
  }
  for (int y = 0; y < kProgressEmpty.H(); ++y)
    EXPECT_EQ(Normal().Get(kProgressEmpty.x0, kProgressEmpty.y0 + y),
              Normal().Get(kProgressFull.x0, kProgressFull.y0 + y));
  // The two effect labels differ.
  EXPECT_FALSE(SameRect(Normal(), kEffectOff, Normal(), kEffectOn.x0, kEffectOn.y0));
}

}  // namespace
