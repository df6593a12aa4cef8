// Bouncing: the mix of several tracks into one, so the others are free again.
#pragma once

#include <string>

#include "song/song_state.h"

// Mixes every other track whose speaker is on into `dest` exactly as the export
// mixes them (no track armed), as one step to undo: the bounced region is the
// export of those tracks byte for byte. Their speakers then go off; the
// destination plays, dry, at the loudest volume, no longer loops, and is named
// after the sources ("Bounce 1+2+4") when it has no name. 1 when done; 0 after
// a message (nothing plays, or the disk is full).
int BounceTo(Track& dest);

// 1 when a track other than dest is heard; otherwise tells the user that
// there is nothing to bounce and returns 0.
int RequireBounceSources(const Track& dest);

// "Bounce 1+2+4": the name a bounce of those tracks gives an unnamed track.
std::string BounceName(const Track& dest);
