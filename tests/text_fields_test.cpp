#include "panel/text_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "audio/stream.h"
#include "panel_fixture.h"

namespace {

using namespace geometry;
using TextFieldsTest = PanelTest;

constexpr int kLeft = 1, kRight = 2, kUp = 3, kDown = 4, kBackspace = 8, kTab = 9, kEnter = 13,
              kDelete = 17;

void SetName(int t, const char* text) {
  std::memset(tracks[t].name, ' ', kNameChars);
  std::memcpy(tracks[t].name, text, std::strlen(text));
}

void Type(const std::string& keys) {
  for (const char c : keys) EXPECT_EQ(textFields.FieldsKey(static_cast<unsigned char>(c)), 1);
}

TEST_F(TextFieldsTest, PressPlacesTheCaretByColumnUnlessTheNameLooksBlank) {
  SetName(2, "Bass guitar");
  textFields.FieldsMouseDown(kNameX - 3, NameY(2) + 2);
  EXPECT_EQ(textFields.focusField, 2);
  EXPECT_EQ(textFields.caret, 0);
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 2 + 3, NameY(2) - 4);
  EXPECT_EQ(textFields.caret, 2);
  EXPECT_TRUE(GlyphAt('s', kNameX + kGlyphWidth * 2, NameY(2), true));
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 20 + 5, NameY(2) + 9);
  EXPECT_EQ(textFields.caret, 20);
  EXPECT_TRUE(GlyphAt('s', kNameX + kGlyphWidth * 2, NameY(2)));  // the old caret is erased

  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 5, NameY(3) + 3);
  EXPECT_EQ(textFields.focusField, 3);
  EXPECT_EQ(textFields.caret, 0);
  tracks[3].name[0] = '\0';  // a name from a file: drawn, and treated, as a space
  tracks[3].name[1] = 'x';
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 5, NameY(3) + 3);
  EXPECT_EQ(textFields.caret, 0);

  // Outside the margins: right of the last column, below by 2, left by 5.
  for (const auto& [x, y] : {std::pair{NameField(2).right, NameY(2)},
                             {kNameX + 10, NameY(2) + 10},
                             {kNameX - 5, NameY(2)}}) {
    textFields.FieldsMouseDown(kNameX, NameY(2));
    textFields.FieldsMouseDown(x, y);
    EXPECT_EQ(textFields.focusField, -1) << x << "," << y;
    EXPECT_TRUE(GlyphAt('B', kNameX, NameY(2)));
  }
  textFields.FieldsMouseDown(kTimeField.left, kTimeField.top);
  EXPECT_EQ(textFields.focusField, 0);
}

TEST_F(TextFieldsTest, TypingOverwritesAndStopsAtTheLastColumn) {
  textFields.FieldsMouseDown(kNameX + 5, NameY(1));
  Type("abcdefghijklmnopqrstuv");
  EXPECT_EQ(std::string(tracks[1].name), "abcdefghijklmnopqrstv");
  EXPECT_EQ(textFields.caret, 20);
  EXPECT_TRUE(GlyphAt('v', kNameX + kGlyphWidth * 20, NameY(1), true));
  EXPECT_TRUE(GlyphAt('t', kNameX + kGlyphWidth * 19, NameY(1)));

  EXPECT_EQ(textFields.FieldsKey(kLeft), 1);
  EXPECT_EQ(textFields.caret, 19);
  EXPECT_TRUE(GlyphAt('v', kNameX + kGlyphWidth * 20, NameY(1)));
  EXPECT_TRUE(GlyphAt('t', kNameX + kGlyphWidth * 19, NameY(1), true));
  for (int i = 0; i < 25; ++i) textFields.FieldsKey(kLeft);
  EXPECT_EQ(textFields.caret, 0);
  Type("XY");
  EXPECT_EQ(std::string(tracks[1].name, 4), "XYcd");
  for (int i = 0; i < 25; ++i) textFields.FieldsKey(kRight);
  EXPECT_EQ(textFields.caret, 20);
  // Keys without a meaning here are swallowed.
  for (const int code : {5, 6, 14, 16, 18, 127, 128, 129, 200}) {
    EXPECT_EQ(textFields.FieldsKey(code), 1);
  }
  EXPECT_EQ(std::string(tracks[1].name), "XYcdefghijklmnopqrstv");
  EXPECT_EQ(tracks[1].name[21], '\0');
}

TEST_F(TextFieldsTest, BackspaceAndDeleteShiftTheTail) {
  SetName(4, "0123456789ABCDEFGHIJK");
  textFields.FieldsMouseDown(kNameX, NameY(4));
  ASSERT_EQ(textFields.caret, 0);
  textFields.FieldsKey(kBackspace);
  EXPECT_EQ(std::string(tracks[4].name), "0123456789ABCDEFGHIJK");
  EXPECT_EQ(textFields.caret, 0);

  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 5, NameY(4));
  ASSERT_EQ(textFields.caret, 5);
  textFields.FieldsKey(kBackspace);
  EXPECT_EQ(std::string(tracks[4].name), "012356789ABCDEFGHIJK ");
  EXPECT_EQ(textFields.caret, 4);
  EXPECT_TRUE(GlyphAt('5', kNameX + kGlyphWidth * 4, NameY(4), true));
  EXPECT_TRUE(GlyphAt('K', kNameX + kGlyphWidth * 19, NameY(4)));
  EXPECT_TRUE(GlyphAt(' ', kNameX + kGlyphWidth * 20, NameY(4)));

  textFields.FieldsKey(kDelete);
  EXPECT_EQ(std::string(tracks[4].name), "01236789ABCDEFGHIJK  ");
  EXPECT_EQ(textFields.caret, 4);
  EXPECT_TRUE(GlyphAt('6', kNameX + kGlyphWidth * 4, NameY(4), true));

  SetName(4, "0123456789ABCDEFGHIJK");
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 20 + 1, NameY(4));
  ASSERT_EQ(textFields.caret, 20);
  textFields.FieldsKey(kDelete);
  EXPECT_EQ(std::string(tracks[4].name), "0123456789ABCDEFGHIJ ");
  EXPECT_EQ(textFields.caret, 20);
}

TEST_F(TextFieldsTest, FocusCyclesThroughAllNineFieldsBothWays) {
  textFields.FieldsMouseDown(kTimeField.left, kTimeField.top);
  for (int step = 1; step <= 9; ++step) {
    textFields.FieldsKey(step % 3 == 0 ? kEnter : step % 2 == 0 ? kTab : kDown);
    EXPECT_EQ(textFields.focusField, step % 9);
    EXPECT_EQ(textFields.caret, 0);
  }
  textFields.FieldsKey(kUp);
  EXPECT_EQ(textFields.focusField, 8);
  textFields.FieldsKey(kUp);
  EXPECT_EQ(textFields.focusField, 7);
  // The caret moves with the focus and leaves no lit glyph behind.
  EXPECT_TRUE(GlyphAt(' ', kNameX, NameY(7), true));
  EXPECT_TRUE(GlyphAt(' ', kNameX, NameY(8)));
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 10, NameY(8));
  textFields.FieldsKey(kDown);
  EXPECT_EQ(textFields.focusField, 0);
  EXPECT_TRUE(GlyphAt(' ', kTimeField.left, kTimeField.top, true));
}

TEST_F(TextFieldsTest, MarkerKeysActOnlyWithoutFocus) {
  song.running = 1;
  song.positionMs = 20000;
  runState.clockTick = fakePlatform.clock;
  textFields.FieldsMouseDown(kNameX + 10, NameY(5));
  EXPECT_EQ(textFields.FieldsKey('i'), 1);
  EXPECT_EQ(tracks[5].name[0], 'i');
  EXPECT_EQ(song.markerInMs, 0);

  textFields.FieldsMouseDown(5, 5);
  EXPECT_EQ(textFields.focusField, -1);
  EXPECT_EQ(textFields.FieldsKey('i'), 0);
  EXPECT_EQ(song.markerInMs, 20000);
  EXPECT_EQ(textFields.FieldsKey(kTab), 0);
  EXPECT_EQ(textFields.focusField, -1);
  song.running = 0;
}

TEST_F(TextFieldsTest, SpacePlaysAndStopsUnlessAFieldIsEdited) {
  EXPECT_EQ(textFields.FieldsKey(' '), 0);
  EXPECT_EQ(song.running, 1);
  EXPECT_EQ(controlManager.value[playButton], 1);
  EXPECT_EQ(textFields.FieldsKey(' '), 0);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(controlManager.value[playButton], 0);

  SetName(4, "Keys");
  textFields.FieldsMouseDown(kNameX + kGlyphWidth * 4, NameY(4));
  EXPECT_EQ(textFields.FieldsKey(' '), 1);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(std::string(tracks[4].name, 6), "Keys  ");
  EXPECT_EQ(textFields.caret, 5);
}

TEST_F(TextFieldsTest, TimeShowsMinutesAndSeconds) {
  for (const auto& [s, text] : {std::pair{59, " 00:59"}, {60, " 01:00"}, {281, " 04:41"}}) {
    song.positionSeconds = s;
    textFields.ShowTime();
    EXPECT_EQ(std::string(timeText), text);
    for (int k = 0; k < 6; ++k)
      EXPECT_TRUE(GlyphAt(text[k], kTimeField.left + kGlyphWidth * k, kTimeField.top)) << text;
  }
  // Typed-over text is replaced by the next time shown.
  textFields.FieldsMouseDown(kTimeField.left, kTimeField.top);
  Type("ab");
  EXPECT_EQ(std::string(timeText), "ab4:41");
  textFields.ShowTime();
  EXPECT_EQ(std::string(timeText), " 04:41");
}

TEST_F(TextFieldsTest, EveryColumnIsDrawnWhateverTheBufferHolds) {
  SetName(6, "Previous song's name");
  textFields.ShowAllFields();
  ASSERT_TRUE(GlyphAt('P', kNameX, NameY(6)));
  std::memset(tracks[6].name, 0, 22);
  tracks[6].name[3] = 'Q';
  tracks[6].name[4] = static_cast<char>(0xE9);
  tracks[6].name[5] = '\x7F';
  textFields.ShowAllFields();
  for (int k = 0; k < 21; ++k) {
    EXPECT_TRUE(GlyphAt(k == 3 ? 'Q' : ' ', kNameX + kGlyphWidth * k, NameY(6))) << k;
  }
  // The primitives themselves stop at a NUL and at 80 characters.
  DrawText("ZZZZ", 10, 10);
  DrawText("A\0B", 10, 10);
  EXPECT_TRUE(GlyphAt('A', 10, 10));
  EXPECT_TRUE(GlyphAt('Z', 10 + kGlyphWidth, 10));
  DrawTextN("YYYY", 10, 10, 2);
  EXPECT_TRUE(GlyphAt('Y', 10 + kGlyphWidth, 10));
  EXPECT_TRUE(GlyphAt('Z', 10 + 2 * kGlyphWidth, 10));
  const std::string wide(90, 'W');
  DrawText(wide.c_str(), 0, 20);
  EXPECT_TRUE(GlyphAt('W', kGlyphWidth * 79, 20));
  EXPECT_EQ(Shown(kGlyphWidth * 80, 20), NormalAt(kGlyphWidth * 80, 20));
}

TEST_F(TextFieldsTest, AddFieldStopsAtTheTableSize) {
  char spare[4] = "abc";
  for (int i = textFields.count; i < 200; ++i) {
    ASSERT_EQ(textFields.AddField(0, 0, 3, spare), i);
  }
  EXPECT_EQ(textFields.AddField(0, 0, 3, spare), -1);
  textFields.Init();
  EXPECT_EQ(textFields.count, 9);
}

TEST_F(TextFieldsTest, PressOnPlayStartsAndDropsTheFocus) {
  textFields.FieldsMouseDown(kNameX + 10, NameY(1));
  ASSERT_EQ(textFields.focusField, 1);
  const Point play = Middle(kPlay);
  WindowProc(WM_LBUTTONDOWN, 0, MakePointParam(play.x, play.y));
  WindowProc(WM_LBUTTONUP, 0, MakePointParam(play.x, play.y));
  EXPECT_EQ(textFields.focusField, -1);
  EXPECT_EQ(song.running, 1);
  EXPECT_TRUE(GlyphAt(' ', kNameX, NameY(1)));
}

}  // namespace
