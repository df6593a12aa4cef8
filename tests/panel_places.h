// Where tests press on the panel, from the panel's own table: a control is pressed
// in its middle, so a test names the control instead of a pixel.
#pragma once

#include "ui/geometry.h"

struct Point {
  int x, y;
};

constexpr Point Middle(geometry::Rect r) {
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The x of second s on the position bar, where a marker dragged to pixel s points.
constexpr int SecondX(int s) {
  return geometry::kPositionOriginX + s;
}

// Where the name fields start; every strip has its name in the same column.
constexpr int kNameX = geometry::NameField(1).left;
constexpr int NameY(int t) {
  return geometry::NameField(t).top;
}
