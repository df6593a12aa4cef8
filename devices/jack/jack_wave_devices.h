// The JACK wave devices and the client they share. The core calls the devices
// on its own thread; JACK calls Process on its real-time thread. Write and
// AddBuffer hand buffers to that thread through lock-free queues, so a take never
// loses a cycle to the core's thread. Each device has one lock that the process
// thread only ever tries: the core's thread holds it to reset, close or start,
// and a cycle that finds it held plays silence or skips capture, which is what
// those calls are about to do anyway. Notices are posted with platform().Post,
// under the lock, so a reset's notices always follow the process thread's.
//
// Order inside a cycle: the output ports are written first, then the inputs
// read. On a graph where an input is connected straight to one of our own
// outputs (a self-loop), the input then holds this very cycle's output, on
// jackd (which copies) and on PipeWire (which shares the buffer) alike: such a
// loop takes 0 frames. Through the sound card the order makes no difference; the
// ports' latencies say how long the trip is. A loop through another client adds
// one period that no latency reports (the graph breaks the cycle there).
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/lock_free_queue.h"
#include "platform/wave.h"

// Result codes besides kWaveOk and kWaveStillPlaying (a buffer already queued).
constexpr int kJackOpenFailed = 1;
constexpr int kJackNotOpen = 2;
constexpr int kJackServerGone = 3;
constexpr int kJackBadBuffer = 4;
constexpr int kJackQueueFull = 5;

class JackSession;

struct QueuedBuffer {
  WaveHeader* header = nullptr;
  // The first buffer written after the input's Start: capture begins with the
  // cycle and frame at which this one begins to play.
  bool startsCapture = false;
};

// Room for every buffer the core keeps in flight, and more.
using BufferQueue = LockFreeQueue<QueuedBuffer, 16>;

class JackWaveOut : public WaveOutDevice {
 public:
  explicit JackWaveOut(JackSession& s) : session(s) {}
  int Open() override;
  void Close() override;
  int Write(WaveHeader& header) override;
  int Reset() override;
  uint32_t Generation() const override { return generation; }
  bool IsOpen() const { return open; }

  // Process thread: renders n frames of the queued buffers (silence where there
  // are none) and hands back each buffer played to its end. Returns the frame at
  // which a buffer that starts the capture began, or -1.
  int Render(float* left, float* right, uint32_t n);

 private:
  // With `lock` held: hands back every buffer still held, in order, posting
  // their notices under the current generation when `notify`.
  void HandBackLocked(bool notify);

  JackSession& session;
  std::mutex lock;
  BufferQueue queue;        // pushed by Write, popped by the holder of `lock`
  QueuedBuffer playing;     // under `lock`
  uint32_t played = 0;      // bytes of `playing` already rendered; under `lock`
  uint32_t generation = 1;  // written under `lock`
  bool open = false;        // the core's thread only
};

class JackWaveIn : public WaveInDevice {
 public:
  explicit JackWaveIn(JackSession& s) : session(s) {}
  int Open() override;
  int AddBuffer(WaveHeader& header) override;
  int Start() override;
  int Reset() override;
  int Close() override;
  uint32_t Generation() const override { return generation; }
  uint32_t RoundTripFrames() const override;
  std::string PathKey() const override;
  bool InputsConnected() const override;
  // Closes without any notice: the program is ending and nobody reads them.
  void Abandon();

  // The output's Write asks whether its buffer is the one to start the capture,
  // and gives the request back when that buffer could not be queued after all.
  bool TakeStartRequest() { return startRequested.exchange(false); }
  void ReturnStartRequest() { startRequested = true; }
  // Process thread: captures n frames into the queued buffers, from the frame
  // `outputStartedAt` when waiting for the output to begin.
  void Capture(const float* left, const float* right, uint32_t n, int outputStartedAt);

 private:
  enum class State { Stopped, WaitingForOutput, Capturing };
  void HandBackLocked(bool notify);

  JackSession& session;
  std::mutex lock;
  BufferQueue queue;              // pushed by AddBuffer, popped by the holder of `lock`
  WaveHeader* filling = nullptr;  // under `lock`
  State state = State::Stopped;   // under `lock`
  std::atomic<bool> startRequested{false};
  uint32_t generation = 1;  // written under `lock`
  bool open = false;        // the core's thread only
};

class JackSession {
 public:
  JackSession() : out(*this), in(*this) {}
  ~JackSession() { Disconnect(); }

  // Opens the client without ever starting a server, at 44,100 Hz, registers
  // and activates the ports and connects them to the first two physical ones.
  // 1 when running; else 0 with `problem` set when the user should hear why.
  int Connect(std::string& problem);
  void Disconnect();
  // Connected, and the server has neither gone away since nor left 44,100 Hz.
  bool Running() const { return client != nullptr && !gone.load(); }
  // Connects again when the server went away and has come back.
  bool EnsureRunning();
  // The longest playback latency that our outputs' connections report plus the
  // longest capture latency of our inputs' connections; our own ports add none.
  uint32_t RoundTripFrames() const;
  // The server's period now; 0 when not running.
  uint32_t Period() const;
  // Whether any port feeds one of our inputs.
  bool InputsConnected() const;

  JackWaveOut out;
  JackWaveIn in;

 private:
  static int Process(jack_nframes_t n, void* self);
  static int RateChanged(jack_nframes_t rate, void* self);
  static void ServerGone(jack_status_t code, const char* reason, void* self);
  uint32_t LongestLatency(jack_port_t* port, jack_latency_callback_mode_t mode) const;

  jack_client_t* client = nullptr;
  jack_port_t* outPorts[2] = {};
  jack_port_t* inPorts[2] = {};
  std::atomic<bool> gone{false};
};
