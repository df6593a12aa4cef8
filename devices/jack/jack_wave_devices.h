// The JACK wave devices and the client they share. The core calls the devices
// on its own thread; JACK calls Process on its real-time thread. Write and
// AddBuffer hand buffers to that thread through lock-free queues, and the
// process thread takes no lock at all: while the core's thread resets, closes
// or opens a device it shuts the device's gate (CycleGate), which a cycle
// finds shut only then and skips, doing what that call is about to do anyway
// (silence out, nothing captured). Notices are posted with platform().Post
// from inside the gate, so a reset's notices always follow the process
// thread's.
//
// Order inside a cycle: the output ports are written first, then the inputs
// read. On a graph where an input is connected straight to one of our own
// outputs (a self-loop), the input then holds this very cycle's output, on
// jackd (which copies) and on PipeWire (which shares the buffer) alike: such a
// loop takes 0 frames. Through the sound card the order makes no difference; the
// ports' latencies say how long the trip is. A loop through another client adds
// one period that no latency reports (the graph breaks the cycle there).
//
// Capture is placed by the cycle: the frames captured beside the song frames
// a cycle played sit at those frames' places. A cycle that played none (the
// output queue ran dry) captures none, and the stall is a dropout; so is an
// xrun, and time the server's frame clock skipped.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/capture_cursor.h"
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

// Room for every buffer the core keeps in flight (two to play, two dozen to
// capture into), and more.
using BufferQueue = LockFreeQueue<QueuedBuffer, 64>;

// Keeps the process thread out of a device's buffers while the core's thread
// works on them: the core shuts the gate and waits until no cycle is inside,
// never longer than one cycle's copying; a cycle that finds it shut leaves the
// buffers alone. Neither side ever blocks the other on a lock.
class CycleGate {
 public:
  // Process thread: false when shut; otherwise Leave when done.
  bool Enter() {
    inside.store(true);
    if (!shut.load()) return true;
    inside.store(false);
    return false;
  }
  void Leave() { inside.store(false); }

  // The core's thread, for as long as the object lives.
  class Shut {
   public:
    explicit Shut(CycleGate& g);
    ~Shut() { gate.shut.store(false); }
    Shut(const Shut&) = delete;
    Shut& operator=(const Shut&) = delete;

   private:
    CycleGate& gate;
  };

 private:
  std::atomic<bool> inside{false};
  std::atomic<bool> shut{false};
};

// What one cycle played: the song's frames are its first `songFrames` (the
// rest is silence, the queue having run dry), and the buffer that starts the
// capture began at `startedAt` (-1: none did).
struct CyclePlayed {
  int startedAt = -1;
  uint32_t songFrames = 0;
};

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
  // are none) and hands back each buffer played to its end.
  CyclePlayed Render(float* left, float* right, uint32_t n);

 private:
  // With the gate shut: hands back every buffer still held, in order, posting
  // their notices under the current generation when `notify`.
  void HandBack(bool notify);

  JackSession& session;
  CycleGate gate;
  BufferQueue queue;                    // pushed by Write, popped inside the gate
  QueuedBuffer playing;                 // inside the gate
  uint32_t played = 0;                  // bytes of `playing` already rendered
  std::atomic<uint32_t> generation{1};  // read by the process and libjack threads
  bool open = false;                    // the core's thread only
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
  // Process thread: captures the n frames beside what the cycle played;
  // `interrupted` frames of the song were lost just before it (an xrun).
  void Capture(const float* left, const float* right, uint32_t n, const CyclePlayed& played,
               uint32_t interrupted);

 private:
  enum class State { Stopped, WaitingForOutput, Capturing };
  // The process thread's side of the queue, for the cursor.
  struct Port {
    JackWaveIn& device;
    bool notify = true;  // false: the program is ending and nobody reads them
    bool Next(WaveHeader*& header) { return device.queue.Pop(header); }
    void HandBack(WaveHeader& header) const;
  };
  // With the gate shut: stops capture and hands back every buffer still held.
  void HandBack(bool notify);

  JackSession& session;
  CycleGate gate;
  LockFreeQueue<WaveHeader*, 64> queue;  // pushed by AddBuffer, popped inside the gate
  CaptureCursor cursor;                  // inside the gate
  std::atomic<State> state{State::Stopped};
  std::atomic<bool> startRequested{false};
  std::atomic<uint32_t> generation{1};
  bool open = false;  // the core's thread only
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
  // Closes the client of a server that has gone (or left 44,100 Hz) at once,
  // while what it shares with the server is still there: a server started
  // later in its place clears that away.
  void LetGoIfGone();
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
  static int Xrun(void* self);
  static void ServerGone(jack_status_t code, const char* reason, void* self);
  uint32_t LongestLatency(jack_port_t* port, jack_latency_callback_mode_t mode) const;

  // Frames of the song the server's clock skipped since the last cycle, or a
  // period for an xrun told meanwhile; 0 on a cycle that follows its
  // predecessor. The process thread only.
  uint32_t Interruption(jack_nframes_t n);
  // The server went away or left 44,100 Hz: every call fails from now on, and
  // the core is told once.
  void Lost();

  jack_client_t* client = nullptr;
  jack_port_t* outPorts[2] = {};
  jack_port_t* inPorts[2] = {};
  std::atomic<bool> gone{false};
  std::atomic<uint32_t> xruns{0};
  // The process thread's own.
  uint32_t xrunsSeen = 0;
  jack_nframes_t lastCycleStart = 0;
  jack_nframes_t lastCycleFrames = 0;
};
