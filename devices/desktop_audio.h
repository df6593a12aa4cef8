// Which sound path the desktop program takes, chosen once at start:
// SONAVEL_AUDIO=jack or sdl decides; unset, JACK when a server is running
// (JACK_DEFAULT_SERVER names it as usual; none is ever started), else SDL.
#pragma once

#include <string>
#include <vector>

enum class AudioPath { Jack, Sdl };

// Installs the chosen devices. `choice` is SONAVEL_AUDIO's value (null when
// unset). A server that cannot serve us (another rate), or none when JACK was
// asked for, leaves the SDL devices installed and what to tell the user in
// `notice`; otherwise `notice` is empty.
AudioPath InstallDesktopWaveDevices(const char* choice, std::string& notice);
// Closes the installed devices; they then answer every call with an error.
void ReleaseDesktopWaveDevices();
// The sound libraries behind the devices, by the versions the program runs on:
// "SDL 2.26.5", "JACK 1.9.21" (or the sound server's own JACK library).
std::vector<std::string> DeviceLibraryVersions();
