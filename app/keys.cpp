#include "app/keys.h"

int MapKey(int virtualKey) {
  switch (virtualKey) {
    case VK_LEFT:
      return 1;
    case VK_RIGHT:
      return 2;
    case VK_UP:
      return 3;
    case VK_DOWN:
      return 4;
    case VK_HOME:
      return 5;
    case VK_END:
      return 6;
    case VK_PRIOR:
      return 14;
    case VK_NEXT:
      return 15;
    case VK_INSERT:
      return 16;
    case VK_DELETE:
      return 17;
    default:
      break;
  }
  if (virtualKey >= VK_F1 && virtualKey <= VK_F12) {
    // F1..F9 take 18..26; F10 skips 27, which belongs to Escape.
    const int n = virtualKey - VK_F1 + 1;
    return n <= 9 ? 17 + n : 18 + n;
  }
  return -1;
}

int MapChar(int character) {
  switch (character) {
    case 8:
    case 9:
    case 13:
    case 27:
      return character;
    default:
      break;
  }
  return character < 32 ? character + 128 : character;
}
