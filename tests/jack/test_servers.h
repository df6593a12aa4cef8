// Sound servers of a test's own, started and stopped by the test: a jackd on
// the dummy driver under a private name, and a headless PipeWire graph in a
// private runtime folder. Both point the environment (JACK_DEFAULT_SERVER,
// XDG_RUNTIME_DIR) at themselves while they run, so a JACK client opened
// afterwards in this process, or in a program it starts, finds them.
//
// The end-to-end use:
//   TestJackServer server;
//   ASSERT_TRUE(server.Start(44100, 1024)) << server.Problem();
//   ... open the program's devices (or start the program) ...
//   ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Direct)) << ...;
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// A child process whose output goes to a log file; stopped (SIGTERM, then
// waited for) when the object ends.
class TestProcess {
 public:
  TestProcess() = default;
  ~TestProcess() { Stop(); }
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;

  bool Start(const std::vector<std::string>& command, const std::string& log);
  bool Running();
  void Stop(int signal = 15);

 private:
  pid_t pid = -1;
};

class TestJackServer {
 public:
  ~TestJackServer() { Stop(); }
  // Starts `jackd -n NAME --no-realtime -d dummy -r RATE -p PERIOD` and waits
  // (ten seconds at most) until it takes clients. False, with Problem() saying
  // why, when jackd is missing or does not come up.
  bool Start(uint32_t rate = 44100, uint32_t period = 1024);
  // As a crash would: clients see the server vanish.
  void Kill();
  void Stop();
  const std::string& Name() const { return name; }
  const std::string& Problem() const { return problem; }

 private:
  bool Launch(uint32_t rate, uint32_t period);
  TestProcess jackd;
  bool killed = false;
  std::string name;
  std::string folder;
  std::string problem;
};

// A private PipeWire graph (pipewire, wireplumber and pipewire-pulse on a
// session bus of its own) running at 44,100 Hz with a fixed quantum, and a null
// sink "loop" that is the default output, its monitor the default input.
class TestPipeWire {
 public:
  ~TestPipeWire() { Stop(); }
  // False, with Problem() saying why, where the graph cannot be started here.
  // A quantum of 0 leaves it to the graph and its clients, as on a desktop.
  bool Start(uint32_t quantum = 1024);
  // Forces the graph to another rate, as a desktop's other programs may.
  bool ForceRate(uint32_t rate);
  void Stop();
  const std::string& Problem() const { return problem; }

 private:
  std::vector<std::string> Environment() const;
  TestProcess bus;
  TestProcess pipewire;
  TestProcess wireplumber;
  TestProcess pulse;
  std::string folder;
  std::string problem;
  std::string savedRuntime;
  bool hadRuntime = false;
};

// Counts the server's xruns: cycles some client did not finish in time. A loop
// cannot stay exact across one (a late client's output is silence that cycle),
// so a test that checks a loop sample by sample asks whether one happened.
class XrunCounter {
 public:
  ~XrunCounter() { Stop(); }
  bool Start();
  void Stop();
  // The xruns so far, once every cycle begun before the call has been told of.
  uint32_t Count();

 private:
  struct State;
  State* state = nullptr;
};

// Whether the loaded libjack is PipeWire's (the program runs under pw-jack).
bool OnPipeWireJack();

enum class LoopKind {
  Direct,   // out_i straight to in_i of the same client
  Peer,     // through a client that copies its inputs to its outputs
  NullSink  // through PipeWire's null sink "loop" (playback_FL/FR, monitor_FL/FR)
};

// Waits (ten seconds at most) for `client`'s ports out_1, out_2, in_1 and in_2,
// takes away every connection they have and loops them as `kind` says. A Peer
// loop lives until the next call or ClearLoops.
bool LoopPorts(const std::string& client, LoopKind kind, std::string* problem = nullptr);
void ClearLoops();
