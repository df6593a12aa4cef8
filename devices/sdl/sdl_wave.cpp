#include "devices/sdl/sdl_wave.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "devices/sdl/sdl_wave_devices.h"

namespace {

bool audioStarted = false;

PlaybackClock playbackClock;
SdlWaveOut sdlWaveOut(playbackClock);
SdlWaveIn sdlWaveIn(playbackClock, sdlWaveOut);

constexpr int64_t kRate = 44100;
constexpr int64_t kNsPerSecond = 1'000'000'000;

}  // namespace

int64_t FramesToNs(int64_t frames) {
  return frames / kRate * kNsPerSecond + frames % kRate * kNsPerSecond / kRate;
}

int64_t NsToFrames(int64_t ns) {
  return ns / kNsPerSecond * kRate + ns % kNsPerSecond * kRate / kNsPerSecond;
}

void EarliestOrigin::Forget() {
  for (std::atomic<int64_t>& reading : readings) reading = INT64_MAX;
}

void EarliestOrigin::Add(int64_t ns) {
  readings[next++ % kReadings] = ns;
}

int64_t EarliestOrigin::Earliest(int latest) const {
  int64_t earliest = INT64_MAX;
  const uint32_t end = next.load();
  for (int i = 1; i <= std::min(latest, kReadings); ++i) {
    earliest = std::min(earliest, readings[(end - static_cast<uint32_t>(i)) % kReadings].load());
  }
  return earliest;
}

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

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

SDL_AudioDeviceID OpenSdlDevice(bool capture, const std::string& name, SDL_AudioCallback callback,
                                void* self) {
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
  if (!name.empty()) {
    const SDL_AudioDeviceID named =
        SDL_OpenAudioDevice(name.c_str(), capture ? 1 : 0, &want, &have, 0);
    if (named != 0) return named;
    // Unplugged since it was chosen: the default serves until it is back.
    std::fprintf(stderr, "sonavel: %s is not available; using the default device\n", name.c_str());
  }
  return SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, 0);
}

void SdlDeviceNames(bool capture, std::vector<std::string>& names) {
  names.clear();
  if (!EnsureSdlAudio()) return;
  const int count = SDL_GetNumAudioDevices(capture ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    if (const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0)) names.emplace_back(name);
  }
}

bool SdlStreamsShareAClock() {
  const char* driver = SDL_GetCurrentAudioDriver();
  return driver == nullptr ||
         (std::strcmp(driver, "disk") != 0 && std::strcmp(driver, "dummy") != 0);
}

std::string SdlDeviceInUse(bool capture, const std::string& chosen) {
  std::vector<std::string> names;
  if (!chosen.empty()) SdlDeviceNames(capture, names);
  // Unplugged, the chosen device is not what an Open gets (see above).
  return std::find(names.begin(), names.end(), chosen) != names.end() ? chosen : "System default";
}

bool SdlDeviceAlive(SDL_AudioDeviceID device) {
  return SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED;
}

int ResetSdlDevice(SDL_AudioDeviceID device, std::atomic<uint32_t>& generation,
                   const std::function<void()>& handBack) {
  if (device != 0) SDL_LockAudioDevice(device);
  handBack();
  ++generation;
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

std::string SdlVersion() {
  SDL_version v{};
  SDL_GetVersion(&v);
  return "SDL " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
         std::to_string(v.patch);
}
