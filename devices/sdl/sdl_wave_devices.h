// The SDL wave devices. The core calls them on its own thread; SDL calls the
// callbacks on its audio threads. They share the buffer queues (lock-free:
// Write and AddBuffer push, the callback pops) and platform().Post; the
// callbacks take no lock of ours. What must not interleave with a callback
// (a reset handing buffers back, a start) holds SDL's device lock, which SDL
// holds around every callback: the callback is then simply not running.
//
// Playback and capture are two streams here, each with its own thread, started
// one after the other. To place a take on the playback timeline anyway, the
// output's callback keeps a count of the frames it has handed to SDL and the
// time it did so, and the input's callback reads, when its first sound arrives,
// which frame of playback was being handed at that moment. What remains between
// the two is the stream's buffering, which SDL does not report. From then on
// the input follows the output: a lasting change between the two clocks (a
// server that dropped input, or played silence because our output was late)
// moves the capture's place with it, as a gap or as a stall, and a stretch of
// silence our own output played because its queue ran dry stalls the place too.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/capture_cursor.h"
#include "platform/lock_free_queue.h"
#include "platform/wave.h"

// Frames per callback: small enough that the input meter follows the
// performance, large enough that a busy desktop does not starve the device.
constexpr Uint16 kDeviceFrames = 1024;

// Result codes besides kWaveOk and kWaveStillPlaying (a buffer already queued).
constexpr int kSdlOpenFailed = 1;
constexpr int kSdlNotOpen = 2;
constexpr int kSdlDeviceLost = 3;
constexpr int kSdlBadBuffer = 4;
constexpr int kSdlQueueFull = 5;

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
// Whether playback and capture run on one clock, as through a sound server or
// one card. SDL's disk and dummy drivers pace each stream by sleeping on its
// own: what the two clocks drift apart there says nothing of lost sound.
bool SdlStreamsShareAClock();
// A device's reset: hands every queued buffer back (handBack) and starts a new
// generation, with SDL's device lock keeping the callback out, so the counts
// handed back are final and every notice the callback posted precedes ours.
// Returns kSdlNotOpen when there is no device, else kWaveOk or kSdlDeviceLost.
int ResetSdlDevice(SDL_AudioDeviceID device, std::atomic<uint32_t>& generation,
                   const std::function<void()>& handBack);

// When frame 0 would have been handed (or would have arrived) had every frame
// come in step with the clock (steady clock, nanoseconds), as the latest
// callbacks saw it. A callback can only be late, never early, so the earliest
// of the last few is the best guess; a lasting change has replaced them all a
// few callbacks later. One thread adds, another may read.
class EarliestOrigin {
 public:
  static constexpr int kReadings = 16;
  EarliestOrigin() { Forget(); }
  void Forget();
  void Add(int64_t ns);
  // Of the latest `latest` readings; INT64_MAX before the first one.
  int64_t Earliest(int latest = kReadings) const;

 private:
  std::atomic<int64_t> readings[kReadings];
  std::atomic<uint32_t> next{0};
};

// What the output's callback tells the input's, without a lock between them.
struct PlaybackClock {
  EarliestOrigin origin;
  // The frame at which the buffer that starts the capture began; -1 until then.
  std::atomic<int64_t> captureStart{-1};
  // Set by the input's Start; the next buffer written takes it.
  std::atomic<bool> startRequested{false};
  // Whether the output device runs at all, so the input need not wait for it.
  std::atomic<bool> outputRunning{false};
  // Frames of silence played since the capture started because the queue ran
  // dry, counted when the song went on after them.
  std::atomic<int64_t> stalled{0};
};

// Nanoseconds of the steady clock: no allocation, no lock.
int64_t SteadyNs();
// Frames at 44,100 Hz and nanoseconds, one into the other, without overflow
// however long the device has been open.
int64_t FramesToNs(int64_t frames);
int64_t NsToFrames(int64_t ns);

struct SdlQueued {
  WaveHeader* header = nullptr;
  bool startsCapture = false;  // the first buffer written after the input's Start
};

// Room for every buffer the core keeps in flight, and more.
constexpr size_t kSdlQueueSize = 64;

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
  // With the callback kept out: marks every queued buffer done, in queue
  // order, and posts their notices under the current generation when `notify`.
  void HandBack(bool notify);

  PlaybackClock& clock;
  std::string chosen;                             // empty: the system's default
  SDL_AudioDeviceID device = 0;                   // set while the callback cannot run
  LockFreeQueue<SdlQueued, kSdlQueueSize> queue;  // pushed by Write
  // The callback's, or the core's while it keeps the callback out.
  SdlQueued playing;
  uint32_t played = 0;  // bytes of `playing` already copied
  int64_t handed = 0;   // frames handed to SDL since the open
  int64_t dry = 0;      // frames of silence since the song's last frame
  bool lostTold = false;
  std::atomic<uint32_t> generation{1};
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
  struct Port {
    SdlWaveIn& device;
    bool notify = true;  // false: the program is ending and nobody reads them
    bool Next(WaveHeader*& header) { return device.queue.Pop(header); }
    void HandBack(WaveHeader& header) const;
  };
  static void Callback(void* self, Uint8* stream, int length);
  void Capture(const Uint8* stream, uint32_t frames);
  // For each chunk after Start until the capture has found its place: keeps it
  // once the output has begun the buffer that starts the capture, and once a
  // few are kept (the earliest arrival of several is a far better guess than
  // one), stores them from that buffer's first frame on, after silence if they
  // begin later.
  void Place(const Uint8* stream, uint32_t frames);
  // Once placed: follows the output's stalls and any lasting change between
  // the two clocks, then stores the chunk at its place.
  void Follow(const Uint8* stream, uint32_t frames);
  // Playback frames between the output's frame 0 and the input's, as the
  // latest `latest` readings of each clock see it.
  int64_t ClockOffset(int latest = EarliestOrigin::kReadings) const;
  // With the callback kept out: stops capture and hands back every buffer,
  // partly filled ones with their counts, in queue order, posting their
  // notices under the current generation when `notify`.
  void HandBack(bool notify);

  PlaybackClock& clock;
  const SdlWaveOut& output;
  std::string chosen;                               // empty: the system's default
  SDL_AudioDeviceID device = 0;                     // set while the callback cannot run
  LockFreeQueue<WaveHeader*, kSdlQueueSize> queue;  // pushed by AddBuffer
  // The callback's, or the core's while it keeps the callback out.
  CaptureCursor cursor;
  bool capturing = false;
  bool lineUp = false;       // an output runs: the capture follows its stalls
  bool sharedClock = false;  // ... and its clock
  bool placed = false;
  bool lostTold = false;
  int64_t arrived = 0;  // frames since Start
  EarliestOrigin arrivals;
  static constexpr size_t kPlacingChunks = 16;
  uint8_t kept[kPlacingChunks * kDeviceFrames * 4];
  size_t keptBytes = 0;
  int64_t placedOffset = 0;  // ClockOffset() the current place was found with
  int slipChunks = 0;        // chunks in a row the clocks disagreed with it,
  bool slipLater = false;    // the input's later than it was (or else earlier)
  int64_t stalledSeen = 0;
  int64_t skip = 0;  // frames still to drop: the song stood still meanwhile
  std::atomic<uint32_t> generation{1};
};
