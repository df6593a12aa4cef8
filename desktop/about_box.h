// The About box, laid out after the original dialog template.
#pragma once

class MainWindow;

// Modal over owner; returns when closed by Enter, Escape, OK or the close box.
void ShowAboutBox(MainWindow* owner);
