// The window's title names the open song: "First Song — Sonavel 2.2" for a song
// saved under a name, "Untitled — Sonavel 2.2" for the working song.
#pragma once

#include <string>

std::string WindowTitle();

// Tells the front end the title when it changed since it was last told; the
// window procedure calls it after every message, so no command needs to.
void RefreshTitle();
// The next RefreshTitle tells the title whatever it was: a window built afresh.
void ForgetTitle();
