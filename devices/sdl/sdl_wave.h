// The wave devices of the desktop program, over SDL2 audio. SDL picks the
// system's sound server; SDL_AUDIODRIVER=disk or dummy runs the same path
// without a sound card.
#pragma once

#include <string>

// Installs the SDL output and input devices as waveOut() and waveIn(). SDL's
// audio subsystem is started by the first Open, so a missing sound server shows
// up as a failed Open, never as a failed start of the program.
void InstallSdlWaveDevices();
// Closes both devices and stops SDL's audio subsystem. The devices stay
// installed and answer every later call with an error.
void ReleaseSdlWaveDevices();

// "SDL 2.26.5": the library the program runs on.
std::string SdlVersion();
