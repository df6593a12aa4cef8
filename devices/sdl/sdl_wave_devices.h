// The SDL wave devices. The core calls them on its own thread; SDL calls the
// callbacks on its audio threads. They share only the buffer queue (under
// `lock`, held while bytes are copied and the hand-back is posted) and
// platform().Post. SDL runs a callback while holding its own device lock, so no
// SDL device function may be called with `lock` held; the operations that must
// not interleave with a callback take SDL's device lock first and `lock` inside.
//
// Playback and capture are two streams here, each with its own thread, started
// one after the other. To place a take on the playback timeline anyway, the
// output's callback keeps a count of the frames it has handed to SDL and the
// time it did so, and the input's callback reads, when its first sound arrives,
// which frame of playback was being handed at that moment. What remains between
// the two is the stream's buffering, which SDL does not report.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wave.h"

// Frames per callback: small enough that the input meter follows the
// performance, large enough that a busy desktop does not starve the device.
constexpr Uint16 kDeviceFrames = 1024;

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
// Opens the named playback or capture device (the default when `name` is
// empty, or when the named one is gone) in the wave model's one format, paused;
// SDL converts to whatever the hardware wants. 0 on failure.
SDL_AudioDeviceID OpenSdlDevice(bool capture, const std::string& name, SDL_AudioCallback callback,
                                void* self);
// The playback or capture devices SDL names.
void SdlDeviceNames(bool capture, std::vector<std::string>& names);
// The device an Open of `chosen` gets now: that one when SDL names it, else
// "System default".
std::string SdlDeviceInUse(bool capture, const std::string& chosen);
// False once the device has gone away (unplugged, server restarted).
bool SdlDeviceAlive(SDL_AudioDeviceID device);
// A device's reset: hands every queued buffer back (handBack, called with `lock`
// held) and starts a new generation, with SDL's device lock keeping the callback
// out, so the counts handed back are final and every notice the callback posted
// precedes ours. Returns kSdlNotOpen when there is no device, else kWaveOk or
// kSdlDeviceLost.
int ResetSdlDevice(SDL_AudioDeviceID device, std::mutex& lock, uint32_t& generation,
                   const std::function<void()>& handBack);

// What the output's callback tells the input's, without a lock between them.
struct PlaybackClock {
  // When frame 0 of the output would have been handed to SDL had every frame
  // been handed in step with the clock (steady clock, nanoseconds), as the
  // latest callbacks saw it. A callback can only be late, never early, so the
  // earliest of the last few is the best guess; a lasting change (an underrun)
  // has replaced them all a few callbacks later.
  static constexpr int kOrigins = 8;
  std::atomic<int64_t> origins[kOrigins];
  std::atomic<uint32_t> nextOrigin{0};
  // The frame at which the buffer that starts the capture began; -1 until then.
  std::atomic<int64_t> captureStart{-1};
  // Set by the input's Start; the next buffer written takes it.
  std::atomic<bool> startRequested{false};
  // Whether the output device runs at all, so the input need not wait for it.
  std::atomic<bool> outputRunning{false};

  PlaybackClock() { ForgetOrigins(); }
  void ForgetOrigins();
  void AddOrigin(int64_t ns);
  // INT64_MAX before the output's first callback.
  int64_t Origin() const;
};

// Nanoseconds of the steady clock: no allocation, no lock.
int64_t SteadyNs();
// Frames at 44,100 Hz and nanoseconds, one into the other, without overflow
// however long the device has been open.
int64_t FramesToNs(int64_t frames);
int64_t NsToFrames(int64_t ns);

class SdlWaveOut : public WaveOutDevice {
 public:
  explicit SdlWaveOut(PlaybackClock& clock);
  ~SdlWaveOut() override;
  int Open() override;
  void Close() override;
  int Write(WaveHeader& header) override;
  int Reset() override;
  uint32_t Generation() const override;
  bool DeviceNames(std::vector<std::string>& names) override;
  void ChooseDevice(const std::string& name) override { chosen = name; }
  const std::string& Chosen() const { return chosen; }

 private:
  static void Callback(void* self, Uint8* stream, int length);
  void Fill(Uint8* stream, size_t length);
  // With `lock` held: marks every queued buffer done, in queue order, and posts
  // their notices under the current generation when `notify`.
  void HandBackLocked(bool notify);

  PlaybackClock& clock;
  std::string chosen;            // empty: the system's default
  SDL_AudioDeviceID device = 0;  // touched by the core's thread only
  std::mutex lock;
  std::vector<WaveHeader*> queue;  // front plays first
  uint32_t played = 0;             // bytes of the front buffer already copied
  // Under `lock`: frames handed to SDL since the open, and the queued buffer
  // (if any) that starts the capture when it begins to play.
  int64_t handed = 0;
  WaveHeader* startsCapture = nullptr;
  // Written by the core's thread under `lock`, read by the callback under it.
  uint32_t generation = 1;
};

class SdlWaveIn : public WaveInDevice {
 public:
  // The output is the other end of the path a round trip is measured on.
  SdlWaveIn(PlaybackClock& clock, const SdlWaveOut& output);
  ~SdlWaveIn() override;
  int Open() override;
  int AddBuffer(WaveHeader& header) override;
  int Start() override;
  int Reset() override;
  int Close() override;
  uint32_t Generation() const override;
  bool DeviceNames(std::vector<std::string>& names) override;
  void ChooseDevice(const std::string& name) override { chosen = name; }
  // SDL tells nothing about the time outside it: takes keep today's placement
  // until the user measures.
  uint32_t RoundTripFrames() const override { return 0; }
  // The driver and both devices: each pair buffers differently.
  std::string PathKey() const override;
  // Closes without any notice: the program is ending and nobody reads them.
  void Abandon();

 private:
  static void Callback(void* self, Uint8* stream, int length);
  void Capture(const Uint8* stream, size_t length);
  // With `lock` held: copies `length` bytes (silence when `bytes` is null) into
  // the queued buffers, handing back each one that fills.
  void Store(const Uint8* bytes, size_t length);
  // With `lock` held, for each chunk after Start until the capture has found
  // its place: notes when the chunk arrived, keeps it once the output has
  // begun the buffer that starts the capture, and once a few are kept (the
  // earliest arrival of several is a far better guess than one), stores them
  // from that buffer's first frame on, after silence if they begin later.
  void Place(const Uint8* stream, size_t length);
  // With `lock` held: stops capture, marks every queued buffer done with its
  // count, in queue order, and posts their notices under the current generation
  // when `notify`.
  void HandBackLocked(bool notify);

  PlaybackClock& clock;
  const SdlWaveOut& output;
  std::string chosen;            // empty: the system's default
  SDL_AudioDeviceID device = 0;  // touched by the core's thread only
  std::mutex lock;
  std::vector<WaveHeader*> queue;  // front fills first
  bool capturing = false;
  // Under `lock`, until the capture has found its place on the playback
  // timeline: the frames that arrived since Start and when frame 0 arrived,
  // by the same earliest-of-several rule as the output's.
  bool placed = false;
  int64_t arrived = 0;
  int64_t arrivalOrigin = 0;
  static constexpr size_t kPlacingChunks = 4;
  uint8_t kept[kPlacingChunks * kDeviceFrames * 4];
  size_t keptBytes = 0;
  // Written by the core's thread under `lock`, read by the callback under it.
  uint32_t generation = 1;
};
