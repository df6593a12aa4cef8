#include "app/keys.h"

#include <gtest/gtest.h>

TEST(KeysTest, KeyTable) {
  EXPECT_EQ(MapKey(VK_LEFT), 1);
  EXPECT_EQ(MapKey(VK_RIGHT), 2);
  EXPECT_EQ(MapKey(VK_UP), 3);
  EXPECT_EQ(MapKey(VK_DOWN), 4);
  EXPECT_EQ(MapKey(VK_HOME), 5);
  EXPECT_EQ(MapKey(VK_END), 6);
  EXPECT_EQ(MapKey(VK_PRIOR), 14);
  EXPECT_EQ(MapKey(VK_NEXT), 15);
  EXPECT_EQ(MapKey(VK_INSERT), 16);
  EXPECT_EQ(MapKey(VK_DELETE), 17);
  EXPECT_EQ(MapKey(VK_F1), 18);
  EXPECT_EQ(MapKey(0x71), 19);  // F2
  EXPECT_EQ(MapKey(0x73), 21);  // F4, so Alt+F4 reaches the fields as 21
  EXPECT_EQ(MapKey(0x78), 26);  // F9
  EXPECT_EQ(MapKey(0x79), 28);  // F10 skips Escape's 27
  EXPECT_EQ(MapKey(0x7A), 29);
  EXPECT_EQ(MapKey(VK_F12), 30);
  // Keys that type something arrive through the character rule instead.
  for (int vk : {0x08, 0x09, 0x0D, 0x1B, 0x41, 0x30, 0x20, 0x7C}) EXPECT_EQ(MapKey(vk), -1) << vk;
}

TEST(KeysTest, CharacterRule) {
  for (int c : {8, 9, 13, 27}) EXPECT_EQ(MapChar(c), c);
  EXPECT_EQ(MapChar(1), 129);  // Ctrl+A
  EXPECT_EQ(MapChar(0), 128);
  EXPECT_EQ(MapChar(31), 159);
  EXPECT_EQ(MapChar(32), 32);
  EXPECT_EQ(MapChar('i'), 'i');
  EXPECT_EQ(MapChar(127), 127);
}
