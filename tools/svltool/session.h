// The song model and the mixer, started as the desktop program starts them but
// without a window, a panel or a sound card: the console platform and a working
// folder of the tool's own, so a desktop program's unsaved song is never touched.
#pragma once

#include <string>

#include "tools/svltool/console_platform.h"

class CoreSession {
 public:
  CoreSession();
  // Releases what the start allocated and removes the working folder.
  ~CoreSession();
  CoreSession(const CoreSession&) = delete;
  CoreSession& operator=(const CoreSession&) = delete;

  // False when the working folder could not be made or start-up reported a
  // failure (the message has been shown).
  bool Ready() const { return ready_; }
  ConsolePlatform& Console() { return console_; }

 private:
  ConsolePlatform console_{"svltool"};
  std::string workFolder_;
  bool ready_ = false;
};
