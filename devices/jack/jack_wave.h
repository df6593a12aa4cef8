// The wave devices of the desktop program over a JACK server (jackd, or
// PipeWire's JACK under pw-jack): one client "sonavel" with ports out_1, out_2,
// in_1 and in_2, whose one process callback plays and captures in the same
// cycle, so every captured frame is tied to the frame played beside it.
#pragma once

#include <string>

// Reaches the JACK server JACK_DEFAULT_SERVER names (never starting one) and
// readies the client at 44,100 Hz. 1 when ready; 0 when no server answers, or
// when one does but cannot serve us, with what to tell the user in `problem`
// (a server at another rate).
int StartJackAudio(std::string& problem);
// Installs the JACK output and input devices as waveOut() and waveIn().
void InstallJackWaveDevices();
// Closes both devices and leaves the server. The devices stay installed and
// answer every later call with an error.
void ReleaseJackWaveDevices();

// "JACK 1.9.21", or the version PipeWire's JACK library gives for itself.
std::string JackVersion();
