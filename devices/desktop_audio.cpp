#include "devices/desktop_audio.h"

#include <cstdio>
#include <string_view>

#include "devices/jack/jack_wave.h"
#include "devices/sdl/sdl_wave.h"

namespace {
AudioPath installed = AudioPath::Sdl;
}  // namespace

AudioPath InstallDesktopWaveDevices(const char* choice, std::string& notice) {
  notice.clear();
  const std::string_view asked = choice != nullptr ? choice : "";
  if (!asked.empty() && asked != "jack" && asked != "sdl") {
    std::fprintf(stderr, "sonavel: SONAVEL_AUDIO=%s is neither jack nor sdl; choosing by itself\n",
                 choice);
  }
  installed = AudioPath::Sdl;
  if (asked != "sdl") {
    if (StartJackAudio(notice) == 1) {
      installed = AudioPath::Jack;
    } else if (notice.empty() && asked == "jack") {
      notice =
          "SONAVEL_AUDIO=jack, but no JACK server is running. Sonavel uses the desktop's sound "
          "device instead.";
    }
  }
  if (installed == AudioPath::Jack) {
    InstallJackWaveDevices();
  } else {
    InstallSdlWaveDevices();
  }
  return installed;
}

void ReleaseDesktopWaveDevices() {
  if (installed == AudioPath::Jack) {
    ReleaseJackWaveDevices();
  } else {
    ReleaseSdlWaveDevices();
  }
}

std::vector<std::string> DeviceLibraryVersions() {
  return {SdlVersion(), JackVersion()};
}
