// The core, started as the desktop program starts it but with no window and no
// sound card: the console platform, silent devices, and a working folder of the
// tool's own, so a desktop program's unsaved song is never touched.
#pragma once

#include <string>

#include "platform/console/console_platform.h"

class CoreSession {
 public:
  CoreSession();
  // Shuts the core down as the desktop program does at exit and removes the
  // working folder.
  ~CoreSession();
  CoreSession(const CoreSession&) = delete;
  CoreSession& operator=(const CoreSession&) = delete;

  // False when the working folder could not be made or start-up reported a
  // failure (the message has been shown).
  bool Ready() const { return ready_; }
  ConsolePlatform& Console() { return console_; }

 private:
  ConsolePlatform console_{"svltool"};
  NullWaveOut waveOut_;
  NullWaveIn waveIn_;
  std::string workFolder_;
  bool started_ = false;
  bool ready_ = false;
};
