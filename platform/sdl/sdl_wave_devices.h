// The SDL wave devices. The core calls them on its own thread; SDL calls the
// callbacks on its audio thread. The two share only the buffer queue (under
// `lock`, held while bytes are copied and the hand-back is posted) and
// platform().Post. SDL runs a callback while holding its own device lock, so no
// SDL device function may be called with `lock` held; the operations that must
// not interleave with a callback take SDL's device lock first and `lock` inside.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/wave.h"

// Result codes besides kWaveOk and kWaveStillPlaying (a buffer already queued).
constexpr int kSdlOpenFailed = 1;
constexpr int kSdlNotOpen = 2;
constexpr int kSdlDeviceLost = 3;
constexpr int kSdlBadBuffer = 4;

// Starts SDL's audio subsystem if this module has not yet; false when SDL
// cannot (no such driver, no sound server).
bool EnsureSdlAudio();
// Stops SDL's audio subsystem if this module started it.
void QuitSdlAudio();
// Opens the default playback or capture device in the wave model's one format,
// paused; SDL converts to whatever the hardware wants. 0 on failure.
SDL_AudioDeviceID OpenSdlDevice(bool capture, SDL_AudioCallback callback, void* self);
// False once the device has gone away (unplugged, server restarted).
bool SdlDeviceAlive(SDL_AudioDeviceID device);
// A device's reset: hands every queued buffer back (handBack, called with `lock`
// held) and starts a new generation, with SDL's device lock keeping the callback
// out, so the counts handed back are final and every notice the callback posted
// precedes ours. Returns kSdlNotOpen when there is no device, else kWaveOk or
// kSdlDeviceLost.
int ResetSdlDevice(SDL_AudioDeviceID device, std::mutex& lock, uint32_t& generation,
                   const std::function<void()>& handBack);

class SdlWaveOut : public WaveOutDevice {
 public:
  SdlWaveOut();
  ~SdlWaveOut() override;
  int Open() override;
  void Close() override;
  int Write(WaveHeader& header) override;
  int Reset() override;
  uint32_t Generation() const override;

 private:
  static void Callback(void* self, Uint8* stream, int length);
  void Fill(Uint8* stream, size_t length);
  // With `lock` held: marks every queued buffer done, in queue order, and posts
  // their notices under the current generation when `notify`.
  void HandBackLocked(bool notify);

  SDL_AudioDeviceID device = 0;  // touched by the core's thread only
  std::mutex lock;
  std::vector<WaveHeader*> queue;  // front plays first
  uint32_t played = 0;             // bytes of the front buffer already copied
  // Written by the core's thread under `lock`, read by the callback under it.
  uint32_t generation = 1;
};

class SdlWaveIn : public WaveInDevice {
 public:
  SdlWaveIn();
  ~SdlWaveIn() override;
  int Open() override;
  int AddBuffer(WaveHeader& header) override;
  int Start() override;
  int Reset() override;
  int Close() override;
  uint32_t Generation() const override;
  // SDL tells nothing about the time outside it: takes keep today's placement
  // until the user measures.
  uint32_t RoundTripFrames() const override { return 0; }
  // Closes without any notice: the program is ending and nobody reads them.
  void Abandon();

 private:
  static void Callback(void* self, Uint8* stream, int length);
  void Capture(const Uint8* stream, size_t length);
  // With `lock` held: stops capture, marks every queued buffer done with its
  // count, in queue order, and posts their notices under the current generation
  // when `notify`.
  void HandBackLocked(bool notify);

  SDL_AudioDeviceID device = 0;  // touched by the core's thread only
  std::mutex lock;
  std::vector<WaveHeader*> queue;  // front fills first
  bool capturing = false;
  // Written by the core's thread under `lock`, read by the callback under it.
  uint32_t generation = 1;
};
