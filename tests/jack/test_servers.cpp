#include "test_servers.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Asks until `ready` says yes or ten seconds pass. Only a guard against a
// server that never comes: nothing in a test depends on how long this takes.
bool WaitFor(const std::function<bool()>& ready) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!ready()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string MakeFolder(const char* kind) {
  std::string pattern = std::string("/tmp/sonavel-") + kind + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

void Quiet(const char*) {}

jack_client_t* OpenClient(const char* name) {
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  jack_status_t status{};
  return jack_client_open(name, JackNoStartServer, &status);
}

}  // namespace

bool TestProcess::Start(const std::vector<std::string>& command, const std::string& log) {
  Stop();
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // A test that dies (a crash, ctest's timeout) must not leave its servers
    // behind: they end with it, cleanly.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  pid = child;
  return true;
}

bool TestProcess::Running() {
  if (pid <= 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) == pid) {
    pid = -1;
    return false;
  }
  return true;
}

void TestProcess::Stop(int signal) {
  if (pid <= 0) return;
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  pid = -1;
}

bool TestJackServer::Start(uint32_t rate, uint32_t period) {
  Stop();
  static int started = 0;
  name = "sonavel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++started);
  folder = MakeFolder("jackd");
  if (folder.empty()) {
    problem = "no folder for jackd's log";
    return false;
  }
  return Launch(rate, period);
}

bool TestJackServer::Launch(uint32_t rate, uint32_t period) {
  const std::string log = folder + "/jackd.log";
  if (!jackd.Start({"jackd", "-n", name, "--no-realtime", "-d", "dummy", "-r", std::to_string(rate),
                    "-p", std::to_string(period)},
                   log)) {
    problem = "jackd could not be started";
    return false;
  }
  ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  const bool up = WaitFor([this] {
    if (!jackd.Running()) return true;
    jack_client_t* probe = OpenClient("sonavel_test_probe");
    if (probe == nullptr) return false;
    jack_client_close(probe);
    return true;
  });
  if (!up || !jackd.Running()) {
    std::ifstream said(log);
    problem = "jackd did not come up: " +
              std::string(std::istreambuf_iterator<char>(said), std::istreambuf_iterator<char>());
    return false;
  }
  return true;
}

void TestJackServer::Kill() {
  jackd.Stop(SIGKILL);
  killed = true;
}

void TestJackServer::Stop() {
  ClearLoops();
  if (killed) {
    // A killed jackd keeps its place in the machine's registry of servers,
    // which has room for eight: only a server of the same name takes it back,
    // and a clean stop then gives it up. Its clients' semaphores stay too.
    killed = false;
    if (Launch(44100, 1024)) jackd.Stop();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
      if (entry.path().filename().string().find("_" + name + "_") != std::string::npos) {
        std::filesystem::remove(entry.path(), ignored);
      }
    }
  }
  jackd.Stop();
  if (!folder.empty()) std::filesystem::remove_all(folder);
  folder.clear();
}

std::vector<std::string> TestPipeWire::Environment() const {
  return {"XDG_RUNTIME_DIR=" + folder, "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus",
          "XDG_STATE_HOME=" + folder + "/state", "XDG_CONFIG_HOME=" + folder + "/config"};
}

bool TestPipeWire::Start(uint32_t quantum) {
  Stop();
  for (const char* tool :
       {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse", "pactl", "pw-metadata"}) {
    if (!Shell(std::string("command -v ") + tool)) {
      problem = std::string(tool) + " is not installed";
      return false;
    }
  }
  folder = MakeFolder("pipewire");
  if (folder.empty()) {
    problem = "no runtime folder";
    return false;
  }
  ::chmod(folder.c_str(), 0700);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  hadRuntime = runtime != nullptr;
  if (hadRuntime) savedRuntime = runtime;
  // This process's own clients (PipeWire's libjack, SDL through pulse) and the
  // daemons all meet in the private folder; nothing else of the test's
  // environment changes.
  ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  ::unsetenv("PIPEWIRE_REMOTE");
  ::unsetenv("PULSE_SERVER");
  std::string env = "env";
  for (const std::string& e : Environment()) env += " '" + e + "'";
  const std::string log = folder + "/daemons.log";
  const auto run = [&](TestProcess& process, std::vector<std::string> command) {
    std::vector<std::string> full = {"env"};
    for (const std::string& e : Environment()) full.push_back(e);
    full.insert(full.end(), command.begin(), command.end());
    return process.Start(full, log);
  };
  const auto fail = [&](const std::string& why) {
    problem = why + "; see " + log;
    Stop();
    return false;
  };
  run(bus, {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + folder + "/bus"});
  if (!WaitFor([&] { return std::filesystem::exists(folder + "/bus") || !bus.Running(); }) ||
      !bus.Running()) {
    return fail("no session bus");
  }
  run(pipewire, {"pipewire"});
  if (!WaitFor([&] { return std::filesystem::exists(folder + "/pipewire-0"); })) {
    return fail("pipewire did not start");
  }
  run(wireplumber, {"wireplumber"});
  run(pulse, {"pipewire-pulse"});
  if (!WaitFor([&] { return Shell(env + " pactl info"); })) return fail("pipewire-pulse");
  const std::string settings = env + " pw-metadata -n settings 0 ";
  if (!Shell(settings + "clock.force-rate 44100") ||
      (quantum != 0 && !Shell(settings + "clock.force-quantum " + std::to_string(quantum)))) {
    return fail("the graph's rate could not be set");
  }
  if (!Shell(env + " pactl load-module module-null-sink sink_name=loop "
                   "sink_properties=device.description=loop") ||
      !WaitFor([&] { return Shell(env + " pactl set-default-sink loop"); }) ||
      !WaitFor([&] { return Shell(env + " pactl set-default-source loop.monitor"); })) {
    return fail("no null sink");
  }
  // WirePlumber makes the sink's ports a moment later.
  if (!WaitFor([&] { return Shell(env + " pw-jack jack_lsp | grep -q '^loop:monitor_FR$'"); })) {
    return fail("the null sink has no ports");
  }
  return true;
}

bool TestPipeWire::ForceRate(uint32_t rate) {
  std::string env = "env";
  for (const std::string& e : Environment()) env += " '" + e + "'";
  return Shell(env + " pw-metadata -n settings 0 clock.force-rate " + std::to_string(rate));
}

void TestPipeWire::Stop() {
  ClearLoops();
  pulse.Stop();
  wireplumber.Stop();
  pipewire.Stop();
  bus.Stop();
  if (folder.empty()) return;
  if (hadRuntime) {
    ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  std::filesystem::remove_all(folder);
  folder.clear();
}

namespace {

// The patch bay: a client of its own that rewires the program's ports, and
// the peer that a Peer loop runs through.
struct Peer {
  jack_client_t* client = nullptr;
  jack_port_t* in[2] = {};
  jack_port_t* out[2] = {};
};
Peer peer;

int CopyThrough(jack_nframes_t n, void*) {
  for (int i = 0; i < 2; ++i) {
    std::memcpy(jack_port_get_buffer(peer.out[i], n), jack_port_get_buffer(peer.in[i], n),
                n * sizeof(float));
  }
  return 0;
}

bool StartPeer(std::string& problem) {
  // A server just started on a busy machine may turn a client away once (its
  // handshake timed out); a few more tries tell that from a server that is gone.
  WaitFor([] { return (peer.client = OpenClient("sonavel_test_peer")) != nullptr; });
  if (peer.client == nullptr) {
    problem = "the peer client could not join the server";
    return false;
  }
  const char* ins[2] = {"in_1", "in_2"};
  const char* outs[2] = {"out_1", "out_2"};
  for (int i = 0; i < 2; ++i) {
    peer.in[i] =
        jack_port_register(peer.client, ins[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    peer.out[i] =
        jack_port_register(peer.client, outs[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  }
  jack_set_process_callback(peer.client, CopyThrough, nullptr);
  if (jack_activate(peer.client) != 0) {
    problem = "the peer client could not be activated";
    return false;
  }
  return true;
}

void Unplug(jack_client_t* patch, const std::string& port) {
  jack_port_t* p = jack_port_by_name(patch, port.c_str());
  if (p == nullptr) return;
  const char** others = jack_port_get_all_connections(patch, p);
  if (others == nullptr) return;
  const bool isOutput = (jack_port_flags(p) & JackPortIsOutput) != 0;
  for (int i = 0; others[i] != nullptr; ++i) {
    if (isOutput) {
      jack_disconnect(patch, port.c_str(), others[i]);
    } else {
      jack_disconnect(patch, others[i], port.c_str());
    }
  }
  jack_free(others);
}

}  // namespace

struct XrunCounter::State {
  jack_client_t* client = nullptr;
  std::atomic<uint32_t> xruns{0};
};

bool XrunCounter::Start() {
  Stop();
  jack_client_t* client = OpenClient("sonavel_test_xruns");
  if (client == nullptr) return false;
  state = new State;
  state->client = client;
  jack_set_xrun_callback(
      client,
      [](void* self) {
        ++static_cast<State*>(self)->xruns;
        return 0;
      },
      state);
  return jack_activate(client) == 0;
}

void XrunCounter::Stop() {
  if (state == nullptr) return;
  jack_client_close(state->client);
  delete state;
  state = nullptr;
}

uint32_t XrunCounter::Count() {
  if (state == nullptr) return 0;
  // Xruns are told a little after the cycle: let a few more cycles pass.
  const jack_nframes_t period = jack_get_buffer_size(state->client);
  const jack_nframes_t from = jack_frame_time(state->client);
  WaitFor([&] { return jack_frame_time(state->client) - from > 3 * period; });
  return state->xruns.load();
}

bool OnPipeWireJack() {
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(&jack_client_open), &info) != 0 &&
         info.dli_fname != nullptr &&
         std::string(info.dli_fname).find("pipewire") != std::string::npos;
}

void ClearLoops() {
  if (peer.client != nullptr) jack_client_close(peer.client);
  peer = {};
}

bool LoopPorts(const std::string& client, LoopKind kind, std::string* problem) {
  std::string ignored;
  std::string& why = problem != nullptr ? *problem : ignored;
  ClearLoops();
  jack_client_t* patch = OpenClient("sonavel_test_patch");
  if (patch == nullptr) {
    why = "no JACK server to patch";
    return false;
  }
  const std::string outs[2] = {client + ":out_1", client + ":out_2"};
  const std::string ins[2] = {client + ":in_1", client + ":in_2"};
  bool ok = WaitFor([&] {
    for (const std::string* names : {outs, ins}) {
      for (int i = 0; i < 2; ++i) {
        if (jack_port_by_name(patch, names[i].c_str()) == nullptr) return false;
      }
    }
    return true;
  });
  if (!ok) why = client + "'s ports never appeared";
  for (int i = 0; ok && i < 2; ++i) {
    Unplug(patch, outs[i]);
    Unplug(patch, ins[i]);
  }
  if (ok && kind == LoopKind::Peer) ok = StartPeer(why);
  const std::string peerIns[2] = {"sonavel_test_peer:in_1", "sonavel_test_peer:in_2"};
  const std::string peerOuts[2] = {"sonavel_test_peer:out_1", "sonavel_test_peer:out_2"};
  const std::string sinkIns[2] = {"loop:playback_FL", "loop:playback_FR"};
  const std::string sinkOuts[2] = {"loop:monitor_FL", "loop:monitor_FR"};
  for (int i = 0; ok && i < 2; ++i) {
    switch (kind) {
      case LoopKind::Direct:
        ok = jack_connect(patch, outs[i].c_str(), ins[i].c_str()) == 0;
        break;
      case LoopKind::Peer:
        ok = jack_connect(patch, outs[i].c_str(), peerIns[i].c_str()) == 0 &&
             jack_connect(patch, peerOuts[i].c_str(), ins[i].c_str()) == 0;
        break;
      case LoopKind::NullSink:
        ok = jack_connect(patch, outs[i].c_str(), sinkIns[i].c_str()) == 0 &&
             jack_connect(patch, sinkOuts[i].c_str(), ins[i].c_str()) == 0;
        break;
    }
    if (!ok) why = "the loop could not be connected";
  }
  if (ok) {
    // A new connection carries sound from a later cycle on: wait for a few
    // cycles of the server's own clock, so the first frame played after this
    // returns goes round the loop.
    const jack_nframes_t period = jack_get_buffer_size(patch);
    const jack_nframes_t from = jack_frame_time(patch);
    ok = WaitFor([&] { return jack_frame_time(patch) - from > 4 * period; });
    if (!ok) why = "the server's clock stands still";
  }
  jack_client_close(patch);
  return ok;
}
