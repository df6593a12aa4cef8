// Where the program cuts its sprites from the two pictures, taken from the panel's
// own table. The panel code copies these rectangles to the same place on screen
// (or, for the strip controls that share track 1's artwork, to every strip), so the
// artwork must put each control exactly here.
#pragma once

#include "tools/skingen/raster.h"
#include "ui/geometry.h"

namespace layout {

constexpr Box ToBox(geometry::Rect r) {
  return {r.left, r.top, r.right, r.bottom};
}

constexpr int kWidth = geometry::kSkin.Width();
constexpr int kHeight = geometry::kSkin.Height();
constexpr Box kPanel = ToBox(geometry::kPanel);

constexpr Box kNew = ToBox(geometry::kNew);
constexpr Box kOpen = ToBox(geometry::kOpen);
constexpr Box kSave = ToBox(geometry::kSave);
constexpr Box kHelp = ToBox(geometry::kHelp);
constexpr Box kImport = ToBox(geometry::kImport);
constexpr Box kExport = ToBox(geometry::kExport);
constexpr Box kProgressWell = ToBox(geometry::kProgressWell);
constexpr Box kProgressEmpty = ToBox(geometry::kProgressEmpty);
constexpr Box kProgressFull = ToBox(geometry::kProgressFull);

constexpr Box kStop = ToBox(geometry::kStop);
constexpr Box kPlay = ToBox(geometry::kPlay);
constexpr Box kPause = ToBox(geometry::kPause);
constexpr Box kTimeField = ToBox(geometry::kTimeField);

using geometry::kStripHeight;
using geometry::kTracks;
// A file dropped anywhere on a strip of the tray goes into its track.
constexpr Box kTray = ToBox(geometry::kStripTray);
using geometry::StripY;
constexpr Box Speaker(int t) {
  return ToBox(geometry::Speaker(t));
}
constexpr Box Arm(int t) {
  return ToBox(geometry::Arm(t));
}
constexpr Box NameField(int t) {
  return ToBox(geometry::NameField(t));
}
constexpr Box Effect(int t) {
  return ToBox(geometry::Effect(t));
}
constexpr Box Meter(int t) {
  return ToBox(geometry::Meter(t));
}
constexpr Box Volume(int t) {
  return ToBox(geometry::Volume(t));
}
using geometry::kMeterSegment;
constexpr int kMeterSegments = geometry::Meter(1).Width() / kMeterSegment;

// Cut from the normal picture: the effect-off label (track 1's slot) and the
// effect-on label (track 2's slot).
constexpr Box kEffectOff = ToBox(geometry::kEffectOff);
constexpr Box kEffectOn = ToBox(geometry::kEffectOn);

constexpr Box kMarkerBar = ToBox(geometry::kMarkerBar);
// Every row of a marker triangle copies the start of this row of the lit picture.
constexpr Box kMarkerPen = ToBox(geometry::kMarkerPen);
constexpr Box kPositionBar = ToBox(geometry::kPositionBar);
constexpr Box kBanner = ToBox(geometry::kBanner);

constexpr Box kFontBand = ToBox(geometry::kFontBand);
constexpr Box Glyph(int c) {
  return ToBox(geometry::Glyph(c));
}

}  // namespace layout
