// The hub of the program: every message of the main window passes through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// 1 from start-up until the first paint has been handled.
extern int firstPaint;

// Handles one message; returns 0 for the messages the program handles and -1 for
// those it leaves to the front end's default handling.
intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
inline intptr_t WindowProc(const Message& m) {
  return WindowProc(m.id, m.wParam, m.lParam);
}

// Process start before the window exists (firstPaint = 1).
void AppStartup();
// The files the program was started with (from the desktop or the command line),
// dealt with at the first paint: a song named alone is opened instead of a new
// working song; sound files are imported into the new song's tracks in order.
void SetStartFiles(const std::vector<std::string>& paths);
// After the message loop has ended: close the song, release the skin and the
// buffers that live for the program's life.
void AppShutdown();
