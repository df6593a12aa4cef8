#include "panel/text_fields.h"

#include <algorithm>
#include <cstring>

#include "panel/controls.h"
#include "panel/transport.h"
#include "song/song_state.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

TextFieldSet textFields;
char timeText[7];

namespace {

using geometry::kGlyphHeight;
using geometry::kGlyphWidth;
static_assert(geometry::kNameChars == NameLength);
constexpr int kMaxDrawn = 80;

enum : int {
  kLeft = 1,
  kRight = 2,
  kUp = 3,
  kDown = 4,
  kBackspace = 8,
  kTab = 9,
  kEnter = 13,
  kDelete = 17,
  kEscape = 27,
};

int Printable(int c) {
  return c >= 32 && c <= 126 ? c : ' ';
}

// Before the panel is built (or when it could not be) there are no cells to
// draw with; the fields exist from the start and may be pressed or typed into.
bool CellExists(int k) {
  return glyphCells[k] > 0 && glyphCells[k] < controlManager.controlCount;
}

void DrawGlyph(int k, int c, int x, int y, bool lit) {
  if (!CellExists(k)) return;
  const int cell = glyphCells[k];
  controlManager.SetSprite(cell, fontSprites[Printable(c)]);
  controlManager.SetPosition(cell, x, y);
  if (lit) {
    controlManager.DrawLit(cell);
  } else {
    controlManager.DrawNormal(cell);
  }
}

// Every column of a field is drawn, a NUL or any other unprintable byte as a
// space, so no column keeps what an earlier text left there.
void DrawField(const TextFieldSet& set, int i) {
  const int n = std::min(set.length[i], kMaxDrawn);
  for (int k = 0; k < n; ++k) {
    DrawGlyph(k, static_cast<unsigned char>(set.text[i][k]), set.x[i] + kGlyphWidth * k, set.y[i],
              false);
  }
}

}  // namespace

void DrawTextN(const char* text, int x, int y, int n) {
  n = std::min(n, kMaxDrawn);
  for (int k = 0; k < n && text[k] != '\0'; ++k) {
    DrawGlyph(k, static_cast<unsigned char>(text[k]), x + kGlyphWidth * k, y, false);
  }
}

void DrawText(const char* text, int x, int y) {
  DrawTextN(text, x, y, kMaxDrawn);
}

void DrawChar(int c, int x, int y) {
  DrawGlyph(0, c, x, y, false);
}

void DrawCaret(int c, int x, int y) {
  DrawGlyph(0, c, x, y, true);
}

void TextFieldSet::Init() {
  count = 0;
  focusField = -1;
  caret = 0;
  std::memcpy(timeText, " 00:00", sizeof timeText);
  AddField(geometry::kTimeField.left, geometry::kTimeField.top, geometry::kTimeChars, timeText);
  for (int t = 1; t <= TrackCount; ++t) {
    std::fill_n(tracks[t].name, NameLength, ' ');
    tracks[t].name[NameLength] = '\0';
    const geometry::Rect field = geometry::NameField(t);
    AddField(field.left, field.top, NameLength, tracks[t].name);
  }
}

int TextFieldSet::AddField(int px, int py, int len, char* buffer) {
  if (count >= kMaxFields) return -1;
  const int i = count++;
  x[i] = px;
  y[i] = py;
  xEnd[i] = px + kGlyphWidth * len;
  yEnd[i] = py + kGlyphHeight;
  length[i] = len;
  text[i] = buffer;
  return i;
}

void TextFieldSet::ShowField(int i) {
  DrawField(*this, i);
}

void TextFieldSet::ShowAllFields() {
  for (int i = 0; i < count; ++i) DrawField(*this, i);
}

void TextFieldSet::ShowTime() {
  const int s = std::clamp(song.positionSeconds, 0, 99 * 60 + 59);
  const int minutes = s / 60;
  const int seconds = s % 60;
  timeText[0] = ' ';
  timeText[1] = static_cast<char>('0' + minutes / 10);
  timeText[2] = static_cast<char>('0' + minutes % 10);
  timeText[3] = ':';
  timeText[4] = static_cast<char>('0' + seconds / 10);
  timeText[5] = static_cast<char>('0' + seconds % 10);
  timeText[6] = '\0';
  ShowField(0);
}

void TextFieldSet::FieldsMouseDown(int px, int py) {
  if (focusField != -1) {
    const int f = focusField;
    DrawChar(static_cast<unsigned char>(text[f][caret]), x[f] + kGlyphWidth * caret, y[f]);
    focusField = -1;
  }
  for (int i = 0; i < count; ++i) {
    if (geometry::Contains(geometry::FieldReach({x[i], y[i], xEnd[i], yEnd[i]}), px, py)) {
      focusField = i;
      // A blank-looking name starts at its first column wherever it is pressed.
      const bool blankStart = Printable(static_cast<unsigned char>(text[i][0])) == ' ';
      caret = blankStart ? 0 : (px - x[i]) / kGlyphWidth;
      DrawCaret(static_cast<unsigned char>(text[i][caret]), x[i] + kGlyphWidth * caret, y[i]);
    }
  }
}

int TextFieldSet::FieldsKey(int code) {
  const int f = focusField;
  if (f == -1) {
    if (code == 'i' || code == 'I') SetInMarkerNow();
    if (code == 'o' || code == 'O') SetOutMarkerNow();
    if (code == 'l' || code == 'L') ToggleLoopBetweenMarkers();
    // Space is the desktop's play and stop key, as the Play button is.
    if (code == ' ') OnPlay();
    return 0;
  }
  char* t = text[f];
  const int last = length[f] - 1;
  auto erase = [&] {
    DrawChar(static_cast<unsigned char>(t[caret]), x[f] + kGlyphWidth * caret, y[f]);
  };
  auto show = [&] {
    const int g = focusField;
    DrawCaret(static_cast<unsigned char>(text[g][caret]), x[g] + kGlyphWidth * caret, y[g]);
  };

  if (code >= 32 && code <= 126) {
    t[caret] = static_cast<char>(code);
    DrawChar(code, x[f] + kGlyphWidth * caret, y[f]);
    if (caret < last) ++caret;
    show();
    return 1;
  }
  switch (code) {
    case kLeft:
      erase();
      if (caret > 0) --caret;
      show();
      break;
    case kRight:
      erase();
      if (caret < last) ++caret;
      show();
      break;
    case kBackspace:
      if (caret == 0) break;
      erase();
      std::memmove(t + caret - 1, t + caret, static_cast<size_t>(last - caret + 1));
      t[last] = ' ';
      ShowField(f);
      --caret;
      show();
      break;
    case kDelete:
      erase();
      std::memmove(t + caret, t + caret + 1, static_cast<size_t>(last - caret));
      t[last] = ' ';
      ShowField(f);
      show();
      break;
    case kDown:
    case kTab:
    case kEnter:
      erase();
      focusField = (f + 1) % count;
      caret = 0;
      show();
      break;
    case kUp:
      erase();
      focusField = (f + count - 1) % count;
      caret = 0;
      show();
      break;
    case kEscape:
      // Leaves the name as typed, so the keys that play and mark work again.
      erase();
      focusField = -1;
      break;
    default:
      break;
  }
  return 1;
}
