#include "desktop/key_input.h"

#include "app/keys.h"

namespace {

// Codes outside the key table: the core drops them, but a key-down that names its
// key keeps the message stream the same as on the original system.
enum : int {
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_PAUSE = 0x13,
  VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_SNAPSHOT = 0x2C,
  VK_LWIN = 0x5B,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,
  VK_F24 = 0x87,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
};

struct KeyCode {
  int qtKey;
  int virtualKey;
};

constexpr KeyCode kKeys[] = {
    {Qt::Key_Left, VK_LEFT},        {Qt::Key_Right, VK_RIGHT},     {Qt::Key_Up, VK_UP},
    {Qt::Key_Down, VK_DOWN},        {Qt::Key_Home, VK_HOME},       {Qt::Key_End, VK_END},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},    {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},      {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Escape, VK_ESCAPE},    {Qt::Key_Space, VK_SPACE},     {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},        {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Print, VK_SNAPSHOT},  {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Menu, VK_APPS},        {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
};

// Keys that move or act rather than type: they send no character, whatever text
// the window system attaches (X11 gives Delete the DEL character).
bool IsCommandKey(int virtualKey) {
  return (virtualKey >= VK_PRIOR && virtualKey <= VK_DELETE) ||
         (virtualKey >= VK_F1 && virtualKey <= VK_F24) ||
         (virtualKey >= VK_SHIFT && virtualKey <= VK_CAPITAL) || virtualKey == VK_LWIN ||
         virtualKey == VK_APPS || virtualKey == VK_NUMLOCK || virtualKey == VK_SCROLL;
}

// The character a key types with Ctrl held, or -1 for none: Ctrl+letter gives the
// control characters 1 to 26, as the original system's translation did.
int ControlCharacter(int qtKey, int virtualKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey - Qt::Key_A + 1;
  switch (qtKey) {
    case Qt::Key_BracketLeft:
      return 27;
    case Qt::Key_Backslash:
      return 28;
    case Qt::Key_BracketRight:
      return 29;
    case Qt::Key_Space:
      return ' ';
    default:
      break;
  }
  switch (virtualKey) {
    case VK_RETURN:
      return 10;
    case VK_BACK:
      return 127;
    case VK_ESCAPE:
      return 27;
    default:
      return -1;
  }
}

}  // namespace

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + (qtKey - Qt::Key_F1);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    const int digit = qtKey - Qt::Key_0;
    return (modifiers & Qt::KeypadModifier) ? VK_NUMPAD0 + digit : '0' + digit;
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  for (const KeyCode& k : kKeys) {
    if (k.qtKey == qtKey) return k.virtualKey;
  }
  return 0;
}

std::vector<Message> KeyPressMessages(int qtKey, Qt::KeyboardModifiers modifiers,
                                      const QString& text) {
  std::vector<Message> out;
  const bool alt = modifiers & Qt::AltModifier;
  const bool ctrl = modifiers & Qt::ControlModifier;
  const int virtualKey = VirtualKeyOf(qtKey, modifiers);
  if (virtualKey != 0) {
    out.push_back({alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<uintptr_t>(virtualKey), 0});
  }
  // With Alt held the original system sent system characters, which the program
  // never handled: Alt+letter types nothing.
  if (alt || IsCommandKey(virtualKey)) return out;

  auto character = [&out](int c) { out.push_back({WM_CHAR, static_cast<uintptr_t>(c), 0}); };
  if (ctrl) {
    const int c = ControlCharacter(qtKey, virtualKey);
    if (c >= 0) character(c);
    return out;
  }
  switch (virtualKey) {
    // Fixed characters: the text Qt attaches to these varies by platform (Backtab
    // has none at all), while the core expects exactly these.
    case VK_TAB:
      character(9);
      return out;
    case VK_RETURN:
      character(13);
      return out;
    case VK_BACK:
      character(8);
      return out;
    case VK_ESCAPE:
      character(27);
      return out;
    default:
      break;
  }
  for (const QChar unit : text) {
    if (unit.unicode() != 0 && unit.unicode() < 256) character(unit.unicode());
  }
  return out;
}
