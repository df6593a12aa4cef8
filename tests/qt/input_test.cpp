// Qt key presses as the core's key and character messages.
#include <QKeyEvent>

#include "app/keys.h"
#include "desktop/key_input.h"
#include "qt/qt_test_support.h"

namespace {

using Messages = std::vector<Message>;

Message Down(int vk) {
  return {WM_KEYDOWN, static_cast<uintptr_t>(vk), 0};
}
Message SysDown(int vk) {
  return {WM_SYSKEYDOWN, static_cast<uintptr_t>(vk), 0};
}
Message Char(int c) {
  return {WM_CHAR, static_cast<uintptr_t>(c), 0};
}

bool Same(const Messages& a, const Messages& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].id != b[i].id || a[i].wParam != b[i].wParam || a[i].lParam != b[i].lParam) {
      return false;
    }
  }
  return true;
}

Messages Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  return KeyPressMessages(key, mods, text);
}

}  // namespace

TEST(KeyInput, TableKeysSendOnlyTheirCodes) {
  const struct {
    int key;
    int vk;
    int action;
  } keys[] = {{Qt::Key_Left, 0x25, 1},    {Qt::Key_Right, 0x27, 2},     {Qt::Key_Up, 0x26, 3},
              {Qt::Key_Down, 0x28, 4},    {Qt::Key_Home, 0x24, 5},      {Qt::Key_End, 0x23, 6},
              {Qt::Key_PageUp, 0x21, 14}, {Qt::Key_PageDown, 0x22, 15}, {Qt::Key_Insert, 0x2D, 16},
              {Qt::Key_Delete, 0x2E, 17}, {Qt::Key_F2, 0x71, 19},       {Qt::Key_F9, 0x78, 26},
              {Qt::Key_F10, 0x79, 28},    {Qt::Key_F12, 0x7B, 30}};
  for (const auto& k : keys) {
    // X11 gives Delete the DEL character; no table key types anything.
    const Messages m = Press(k.key, Qt::NoModifier, QString(QChar(0x7F)));
    EXPECT_TRUE(Same(m, {Down(k.vk)})) << k.key;
    EXPECT_EQ(MapKey(static_cast<int>(m[0].wParam)), k.action) << k.key;
  }
  // F1 reaches the core, which drops it.
  EXPECT_TRUE(Same(Press(Qt::Key_F1), {Down(0x70)}));
}

TEST(KeyInput, TabEnterBackspaceEscapeTypeTheirCharacters) {
  EXPECT_TRUE(Same(Press(Qt::Key_Tab, Qt::NoModifier, "\t"), {Down(0x09), Char(9)}));
  // Shift+Tab arrives as Backtab, with no text on some platforms.
  EXPECT_TRUE(Same(Press(Qt::Key_Backtab, Qt::ShiftModifier), {Down(0x09), Char(9)}));
  const Messages enter = Press(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_TRUE(Same(enter, {Down(0x0D), Char(13)}));
  EXPECT_EQ(MapKey(0x0D), -1);  // the key press itself is dropped
  EXPECT_EQ(MapChar(13), 13);
  EXPECT_TRUE(Same(Press(Qt::Key_Enter, Qt::KeypadModifier, "\r"), {Down(0x0D), Char(13)}));
  EXPECT_TRUE(Same(Press(Qt::Key_Backspace, Qt::NoModifier, "\b"), {Down(0x08), Char(8)}));
  EXPECT_TRUE(Same(Press(Qt::Key_Escape, Qt::NoModifier, "\x1b"), {Down(0x1B), Char(27)}));
}

TEST(KeyInput, AltKeysAreSystemKeysThatTypeNothing) {
  const Messages altF4 = Press(Qt::Key_F4, Qt::AltModifier);
  EXPECT_TRUE(Same(altF4, {SysDown(0x73)}));
  EXPECT_EQ(MapKey(static_cast<int>(altF4[0].wParam)), 21);
  EXPECT_TRUE(Same(Press(Qt::Key_A, Qt::AltModifier, "a"), {SysDown('A')}));
  EXPECT_TRUE(Same(Press(Qt::Key_Tab, Qt::AltModifier, "\t"), {SysDown(0x09)}));
}

TEST(KeyInput, CtrlLettersAreControlCharacters) {
  // Whether or not the platform put the control character in the text.
  EXPECT_TRUE(Same(Press(Qt::Key_A, Qt::ControlModifier), {Down('A'), Char(1)}));
  EXPECT_TRUE(Same(Press(Qt::Key_A, Qt::ControlModifier, "\x01"), {Down('A'), Char(1)}));
  EXPECT_EQ(MapChar(1), 129);
  EXPECT_TRUE(Same(Press(Qt::Key_I, Qt::ControlModifier, "\t"), {Down('I'), Char(9)}));
  EXPECT_TRUE(
      Same(Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier), {Down('Z'), Char(26)}));
  EXPECT_TRUE(Same(Press(Qt::Key_1, Qt::ControlModifier, "1"), {Down('1')}));
  EXPECT_TRUE(Same(Press(Qt::Key_Return, Qt::ControlModifier, "\r"), {Down(0x0D), Char(10)}));
}

TEST(KeyInput, TypedTextBecomesCharactersBelow256) {
  EXPECT_TRUE(Same(Press(Qt::Key_A, Qt::NoModifier, "a"), {Down('A'), Char('a')}));
  EXPECT_TRUE(Same(Press(Qt::Key_A, Qt::ShiftModifier, "A"), {Down('A'), Char('A')}));
  EXPECT_TRUE(Same(Press(Qt::Key_5, Qt::KeypadModifier, "5"), {Down(0x65), Char('5')}));
  EXPECT_TRUE(Same(Press(Qt::Key_Space, Qt::NoModifier, " "), {Down(0x20), Char(' ')}));
  // A composed character has no key of its own.
  EXPECT_TRUE(Same(Press(0, Qt::NoModifier, QString(QChar(0xE9))), {Char(0xE9)}));
  EXPECT_TRUE(Same(Press(0, Qt::NoModifier, QString(QChar(0x4E2D))), {}));
  EXPECT_TRUE(Same(Press(Qt::Key_Shift, Qt::ShiftModifier), {Down(0x10)}));
}

TEST_F(WindowFixture, TabAndBacktabReachTheCoreInsteadOfMovingFocus) {
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
  QApplication::sendEvent(&Panel(), &tab);
  QKeyEvent backtab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier, "");
  QApplication::sendEvent(&Panel(), &backtab);
  QKeyEvent altF4(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier);
  QApplication::sendEvent(&Panel(), &altF4);
  EXPECT_TRUE(Same(Received(), {Down(0x09), Char(9), Down(0x09), Char(9), SysDown(0x73)}));
}
