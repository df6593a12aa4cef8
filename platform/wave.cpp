#include "platform/wave.h"

#include <cassert>

namespace {
WaveOutDevice* installedOut = nullptr;
WaveInDevice* installedIn = nullptr;
}  // namespace

WaveOutDevice& waveOut() {
  assert(installedOut != nullptr);
  return *installedOut;
}

WaveInDevice& waveIn() {
  assert(installedIn != nullptr);
  return *installedIn;
}

void InstallWaveDevices(WaveOutDevice* out, WaveInDevice* in) {
  installedOut = out;
  installedIn = in;
}
