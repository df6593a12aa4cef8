#include "ui/skin.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "tests/fake/fake_platform.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  StoreU32(b.data() + at, v);
}

// A small canonical bottom-up 24-bit BMP whose pixel (x, y) is colour(x, y).
std::vector<uint8_t> MakeBmp(int w, int h, uint32_t (*colour)(int, int)) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> b(54 + stride * h, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, 12345);  // a wrong file size must not matter
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, w);
  Put32(b, 22, h);
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = &b[54 + stride * (h - 1 - y)];
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      row[x * 3] = c & 0xFF;
      row[x * 3 + 1] = (c >> 8) & 0xFF;
      row[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  }
  return b;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& file, uint32_t sizeField) {
  uLongf n = compressBound(file.size());
  std::vector<uint8_t> blob(8 + n);
  std::memcpy(blob.data(), "CMP", 4);
  Put32(blob, 4, sizeField);
  compress2(blob.data() + 8, &n, file.data(), file.size(), 9);
  blob.resize(8 + n);
  return blob;
}

uint32_t Pattern(int x, int y) {
  return static_cast<uint32_t>(x * 7 + y * 131) & 0xFFFFFF;
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override { fakePlatform.Reset(); }
  std::vector<uint8_t> buffer = std::vector<uint8_t>(2000000);
};

TEST_F(SkinTest, UnpacksWhateverTheSizeFieldSays) {
  const auto bmp = MakeBmp(5, 3, Pattern);
  for (uint32_t field : {0u, 7u, 1094490u}) {
    const auto blob = Pack(bmp, field);
    ASSERT_EQ(LoadFileUnCmp(blob, buffer), bmp.size());
    EXPECT_EQ(std::memcmp(buffer.data(), bmp.data(), bmp.size()), 0);
  }
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(SkinTest, BadMagicIsReportedAndGivesThree) {
  auto blob = Pack(MakeBmp(2, 2, Pattern), 0);
  blob[2] = 'X';
  EXPECT_EQ(LoadFileUnCmp(blob, buffer), 3u);
  const std::vector<uint8_t> tiny = {'C', 'M'};
  EXPECT_EQ(LoadFileUnCmp(tiny, buffer), 3u);
  ASSERT_EQ(fakePlatform.messages.size(), 2u);
  EXPECT_EQ(fakePlatform.messages[0],
            (ShownMessage{"LoadFileUnCmp:No CMP File Header", "Error: Not a CMP File"}));
}

TEST_F(SkinTest, CorruptOrOversizedStreamGivesNothing) {
  auto blob = Pack(MakeBmp(40, 40, Pattern), 0);
  blob[blob.size() / 2] ^= 0x5A;
  blob.resize(blob.size() - 3);
  EXPECT_EQ(LoadFileUnCmp(blob, buffer), 0u);
  std::vector<uint8_t> small(100);
  EXPECT_EQ(LoadFileUnCmp(Pack(MakeBmp(40, 40, Pattern), 0), small), 0u);
}

TEST_F(SkinTest, BitmapRowsAreReadBottomUpWithPadding) {
  Surface s;
  s.Create();
  const auto bmp = MakeBmp(5, 3, Pattern);  // 15-byte rows padded to 16
  ASSERT_EQ(BitmapCopy(bmp, s), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(s.At(x, y), 0xFF000000u | Pattern(x, y)) << x << "," << y;
  EXPECT_EQ(s.At(5, 0), 0xFF000000u);
}

TEST_F(SkinTest, BitmapThatLiesAboutItsSizeLeavesLayerBlank) {
  Surface s;
  s.Create();
  auto bmp = MakeBmp(942, 387, Pattern);
  auto truncated = bmp;
  truncated.resize(bmp.size() - 1);
  EXPECT_EQ(BitmapCopy(truncated, s), 0);
  auto badOffset = bmp;
  Put32(badOffset, 10, 0xFFFFFFF0u);
  EXPECT_EQ(BitmapCopy(badOffset, s), 0);
  auto tooWide = bmp;
  Put32(tooWide, 18, 943);
  EXPECT_EQ(BitmapCopy(tooWide, s), 0);
  auto negative = bmp;
  Put32(negative, 22, static_cast<uint32_t>(-387));
  EXPECT_EQ(BitmapCopy(negative, s), 0);
  EXPECT_EQ(BitmapCopy(std::span<const uint8_t>(bmp.data(), 20), s), 0);
  EXPECT_EQ(s.At(0, 0), 0xFF000000u);
}

}  // namespace
