// The two skin pictures and the icon.
#pragma once

#include "tools/skingen/raster.h"

// The whole 942 x 387 picture: every control idle (lit = false) or every control
// pressed, switched on or highlighted (lit = true).
Canvas DrawSkin(bool lit);

// 32 x 32.
Canvas DrawIcon();
