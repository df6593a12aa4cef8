// Fixed-width text fields drawn with the panel font: the time display and the
// eight track names.
#pragma once

constexpr int kMaxFields = 200;

struct TextFieldSet {
  int count = 0;
  int focusField = -1;
  int caret = 0;
  int x[kMaxFields] = {};
  int y[kMaxFields] = {};
  int xEnd[kMaxFields] = {};
  int yEnd[kMaxFields] = {};
  int length[kMaxFields] = {};
  char* text[kMaxFields] = {};

  void Init();
  int AddField(int px, int py, int len, char* buffer);
  void ShowField(int i);
  void ShowAllFields();
  void ShowTime();
  void FieldsMouseDown(int px, int py);
  int FieldsKey(int code);
};

extern TextFieldSet textFields;
extern char timeText[7];

void DrawText(const char* text, int x, int y);
void DrawTextN(const char* text, int x, int y, int n);
void DrawChar(int c, int x, int y);
void DrawCaret(int c, int x, int y);
