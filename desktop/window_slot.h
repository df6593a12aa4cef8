// Each Sonavel window on the desktop takes a numbered place, held for as long as
// it lives, so a second window opens offset from the first instead of exactly on
// top of it (where it would look like nothing happened).
#pragma once

#include "base/file_handle.h"

class WindowSlot {
 public:
  // Takes the lowest free place: a lock file in the user's runtime folder
  // ($XDG_RUNTIME_DIR, else the temporary folder) per place. Place 0 when none
  // can be had.
  WindowSlot();

  int Index() const { return index; }

 private:
  FileHandle lock;
  int index = 0;
};
