#include "platform/sdl/sdl_wave.h"

#include "platform/sdl/sdl_wave_devices.h"

namespace {

// Small enough that the input meter follows the performance, large enough that
// a busy desktop does not starve the device.
constexpr Uint16 kDeviceFrames = 1024;

bool audioStarted = false;

SdlWaveOut sdlWaveOut;
SdlWaveIn sdlWaveIn;

}  // namespace

bool EnsureSdlAudio() {
  if (audioStarted) return true;
  // The program handles SIGTERM and SIGINT itself. Had SDL's handler been there
  // first, ours would put it back after the first signal, and a second one would
  // only become an SDL event nobody reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  audioStarted = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  return audioStarted;
}

void QuitSdlAudio() {
  if (!audioStarted) return;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  audioStarted = false;
}

SDL_AudioDeviceID OpenSdlDevice(bool capture, SDL_AudioCallback callback, void* self) {
  if (!EnsureSdlAudio()) return 0;
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = callback;
  want.userdata = self;
  SDL_AudioSpec have{};
  // No changes allowed: the callbacks copy the wave model's bytes as they are.
  return SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, 0);
}

bool SdlDeviceAlive(SDL_AudioDeviceID device) {
  return SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED;
}

int ResetSdlDevice(SDL_AudioDeviceID device, std::mutex& lock, uint32_t& generation,
                   const std::function<void()>& handBack) {
  if (device != 0) SDL_LockAudioDevice(device);
  {
    const std::lock_guard<std::mutex> hold(lock);
    handBack();
    ++generation;
  }
  if (device == 0) return kSdlNotOpen;
  SDL_UnlockAudioDevice(device);
  return SdlDeviceAlive(device) ? kWaveOk : kSdlDeviceLost;
}

void InstallSdlWaveDevices() {
  InstallWaveDevices(&sdlWaveOut, &sdlWaveIn);
}

void ReleaseSdlWaveDevices() {
  sdlWaveOut.Close();
  sdlWaveIn.Abandon();
  QuitSdlAudio();
}
