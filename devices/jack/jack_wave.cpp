#include "devices/jack/jack_wave.h"

#include "devices/jack/jack_wave_devices.h"

namespace {
JackSession session;
}  // namespace

int StartJackAudio(std::string& problem) {
  return session.Connect(problem);
}

void InstallJackWaveDevices() {
  InstallWaveDevices(&session.out, &session.in);
}

void ReleaseJackWaveDevices() {
  session.out.Close();
  session.in.Abandon();
  session.Disconnect();
}

std::string JackVersion() {
  return std::string("JACK ") + jack_get_version_string();
}
