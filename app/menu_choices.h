// What a submenu of choices shows (the sound devices, say): asked for each time
// it opens, by the menu table and by whatever offers the choices.
#pragma once

#include <string>
#include <vector>

// The items of a submenu of choices, asked for each time it opens.
struct MenuChoices {
  std::vector<std::string> items;  // none: the submenu is shown disabled
  int chosen = -1;                 // the item marked as chosen; -1 for none
};
