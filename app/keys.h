// Keys and characters become the small action codes the text fields understand.
#pragma once

// Virtual-key codes of the key table.
enum : int {
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_F1 = 0x70,
  VK_F12 = 0x7B,
};

// Virtual-key code to action code, -1 when the key is dropped.
int MapKey(int virtualKey);
// Character code to action code.
int MapChar(int character);
