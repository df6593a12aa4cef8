// Where the program cuts its sprites from the two pictures. The panel code copies
// these rectangles to the same place on screen (or, for the strip controls that
// share track 1's artwork, to every strip), so the artwork must put each control
// exactly here.
#pragma once

#include "tools/skingen/raster.h"

namespace layout {

constexpr int kWidth = 942;
constexpr int kHeight = 387;
constexpr Box kPanel{0, 0, 514, 371};

constexpr Box kNew{50, 50, 92, 96};
constexpr Box kOpen{95, 50, 137, 96};
constexpr Box kSave{140, 50, 182, 96};
constexpr Box kHelp{185, 50, 227, 96};
constexpr Box kImport{285, 57, 357, 80};
constexpr Box kExport{367, 57, 439, 80};
constexpr Box kProgressWell{286, 84, 438, 94};
constexpr Box kProgressEmpty{515, 42, 667, 52};
constexpr Box kProgressFull{515, 52, 667, 62};

constexpr Box kStop{230, 116, 250, 134};
constexpr Box kPlay{251, 105, 290, 146};
constexpr Box kPause{290, 115, 310, 135};
constexpr int kTimeX = 331, kTimeY = 123, kTimeChars = 6;

constexpr int kTracks = 8;
constexpr int kStripTop = 149;
constexpr int kStripStep = 18;
constexpr int StripY(int t) {
  return kStripTop + kStripStep * (t - 1);
}
constexpr Box Speaker(int t) {
  return {134, StripY(t), 155, StripY(t) + 18};
}
constexpr Box Arm(int t) {
  return {155, StripY(t), 181, StripY(t) + 18};
}
constexpr int kNameX = 190, kNameChars = 21;
constexpr int NameY(int t) {
  return StripY(t) + 6;
}
constexpr Box Effect(int t) {
  return {326, StripY(t) + 4, 344, StripY(t) + 16};
}
constexpr Box Meter(int t) {
  return {350, StripY(t) + 1, 440, StripY(t) + 4};
}
constexpr Box Volume(int t) {
  return {350, StripY(t) + 4, 440, StripY(t) + 16};
}
constexpr int kMeterSegments = 15, kMeterSegment = 6;

// Cut from the normal picture: the effect-off label (track 1's slot) and the
// effect-on label (track 2's slot).
constexpr Box kEffectOff = Effect(1);
constexpr Box kEffectOn = Effect(2);

constexpr Box kMarkerBar{155, 304, 445, 309};
// Every row of a marker triangle copies the start of this row of the lit picture.
constexpr Box kMarkerPen{155, 304, 164, 305};
constexpr Box kPositionBar{159, 309, 440, 321};
constexpr Box kBanner{0, 344, 517, 374};

constexpr Box kFontBand{0, 371, 570, 379};

}  // namespace layout
