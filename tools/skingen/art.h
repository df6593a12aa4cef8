// Shared look of the skin: one palette, one light (from the top left), and the
// drawing of each kind of control. Both pictures are drawn by the same code; `lit`
// only switches a control's state, so normal and lit differ exactly inside the
// controls that the program shows lit.
#pragma once

#include <string_view>

#include "tools/skingen/raster.h"

namespace pal {
constexpr Rgb kPanel = Hex(0x2B2F35);
constexpr Rgb kTitle = Hex(0x202328);
constexpr Rgb kTray = Hex(0x212429);
constexpr Rgb kBanner = Hex(0x141619);
constexpr Rgb kShadow = Hex(0x0E1012);
constexpr Rgb kEdgeLight = Hex(0x4C535C);
constexpr Rgb kLabel = Hex(0xB8C0C9);
constexpr Rgb kLabelDim = Hex(0x7E8791);
constexpr Rgb kAccent = Hex(0xE8A33D);
constexpr Rgb kKeyTop = Hex(0x4B515A);
constexpr Rgb kKeyBottom = Hex(0x32363C);
constexpr Rgb kKeyPressedTop = Hex(0x23262A);
constexpr Rgb kKeyPressedBottom = Hex(0x2D3136);
// Displays: the glyph cells are drawn over these wells, so the font band uses the
// very same background.
constexpr Rgb kWell = Hex(0x0A100F);
constexpr Rgb kInk = Hex(0x8CF2CC);
constexpr Rgb kGreen = Hex(0x4BE47A);
constexpr Rgb kAmber = Hex(0xFFB23A);
constexpr Rgb kRed = Hex(0xFF3B2F);
constexpr Rgb kMarker = Hex(0xFFC940);
constexpr Rgb kOffPicture = Hex(0x101214);
}  // namespace pal

// Brushed metal: streaks along x. Inside the track strips the grain repeats every
// strip, because three strip controls of every track are cut from track 1's row and
// must sit on identical metal. With grainAlongRows each row is one even shade: the
// volume slider's metal edges are shown shifted sideways, and must not show where.
void FillBrushed(Canvas& c, Box b, Rgb base, uint32_t seed, bool grainAlongRows = false);
int GrainRow(int y);

// A raised key occupying b (its drop shadow included); pressed keys sink and lose the
// shadow.
void DrawKey(Canvas& c, Box b, bool pressed, double radius);
// A recessed frame: dark top and left, light bottom and right, around the inside of b.
void DrawRecess(Canvas& c, Box b, Rgb fill);
void DrawScrew(Canvas& c, double cx, double cy);

// Controls, each drawn in its normal or lit state.
void DrawFileButton(Canvas& c, Box b, int kind, std::string_view caption, bool lit);
void DrawWideButton(Canvas& c, Box b, std::string_view caption, bool arrowDown, bool lit);
void DrawStop(Canvas& c, Box b, bool lit);
void DrawPlay(Canvas& c, Box b, bool lit);
void DrawPause(Canvas& c, Box b, bool lit);
void DrawSpeaker(Canvas& c, Box b, bool lit);
void DrawArm(Canvas& c, Box b, bool lit);
void DrawEffectLabel(Canvas& c, Box b, bool on);
void DrawMeter(Canvas& c, Box b, bool lit);
void DrawVolume(Canvas& c, Box b, bool lit);
void DrawProgress(Canvas& c, Box b, int state);  // 0 hidden, 1 empty, 2 full

// The large face for the product name (S, o, n, a, v, e, l), 14 pixels high.
int BigTextWidth(std::string_view text);
void DrawBigText(Canvas& c, int x, int y, std::string_view text, Rgb top, Rgb bottom, Rgb shadow);

enum FileIcon { kIconNew, kIconOpen, kIconSave, kIconHelp };
