// The byte order every file and audio buffer shares: a swapped or sign-losing
// helper would corrupt songs, WAV headers and samples alike.
#include "base/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

TEST(BytesTest, ValuesLieLowByteFirstAtAnyAddressAndKeepTheirSign) {
  // Odd offsets: the WAV chunk walk and the song records are not aligned.
  std::array<uint8_t, 16> b{};
  StoreU32(b.data() + 1, 0x11223344u);
  StoreI32(b.data() + 5, -2);
  StoreU16(b.data() + 9, 0xA1B2u);
  StoreI16(b.data() + 11, -32768);
  const std::array<uint8_t, 16> expected = {0,    0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF,
                                            0xFF, 0xB2, 0xA1, 0x00, 0x80, 0,    0,    0};
  EXPECT_EQ(b, expected);

  EXPECT_EQ(LoadU32(b.data() + 1), 0x11223344u);
  EXPECT_EQ(LoadI32(b.data() + 5), -2);
  EXPECT_EQ(LoadU32(b.data() + 5), 0xFFFFFFFEu);
  EXPECT_EQ(LoadU16(b.data() + 9), 0xA1B2u);
  EXPECT_EQ(LoadI16(b.data() + 11), -32768);
  EXPECT_EQ(LoadU16(b.data() + 11), 0x8000u);
}

}  // namespace
