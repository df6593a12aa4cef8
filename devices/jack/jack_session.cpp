#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/number_text.h"
#include "devices/jack/jack_wave_devices.h"
#include "platform/platform.h"

namespace {

constexpr jack_nframes_t kRate = 44100;

// libjack reports every failed attempt to reach a server on stderr; not finding
// one is an answer here, not an error. Once connected, its messages are worth
// seeing.
void Quiet(const char*) {}
void Say(const char* text) {
  std::fprintf(stderr, "sonavel: jack: %s\n", text);
}

// Connects ours[i] to the i-th port that the flags find, for the first two.
void ConnectPhysical(jack_client_t* client, jack_port_t* const ours[2], unsigned long flags,
                     bool ourPortIsSource) {
  const char** names = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags);
  if (names == nullptr) return;
  for (int i = 0; i < 2 && names[i] != nullptr; ++i) {
    const char* mine = jack_port_name(ours[i]);
    if (ourPortIsSource) {
      jack_connect(client, mine, names[i]);
    } else {
      jack_connect(client, names[i], mine);
    }
  }
  jack_free(names);
}

}  // namespace

int JackSession::Connect(std::string& problem) {
  problem.clear();
  if (Running()) return 1;
  Disconnect();
  // PipeWire's libjack reads the rate a client wants from here; its graph
  // follows when 44,100 Hz is among the rates it allows. jackd's ignores it.
  if (std::getenv("PIPEWIRE_QUANTUM") == nullptr) setenv("PIPEWIRE_RATE", "1/44100", 0);
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  jack_status_t status{};
  // Never start a server: the user's routing belongs to the server they run.
  client = jack_client_open("sonavel", JackNoStartServer, &status);
  if (client == nullptr) return 0;
  jack_set_error_function(Say);
  const char* outNames[2] = {"out_1", "out_2"};
  const char* inNames[2] = {"in_1", "in_2"};
  for (int i = 0; i < 2; ++i) {
    outPorts[i] =
        jack_port_register(client, outNames[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    inPorts[i] =
        jack_port_register(client, inNames[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  }
  const bool registered = std::all_of(outPorts, outPorts + 2, [](auto* p) { return p; }) &&
                          std::all_of(inPorts, inPorts + 2, [](auto* p) { return p; });
  gone = false;
  lastCycleFrames = 0;
  xrunsSeen = xruns.load();
  if (!registered || jack_set_process_callback(client, &JackSession::Process, this) != 0 ||
      jack_set_sample_rate_callback(client, &JackSession::RateChanged, this) != 0 ||
      jack_set_xrun_callback(client, &JackSession::Xrun, this) != 0) {
    problem = "Sonavel could not set up its ports on the JACK server.";
    Disconnect();
    return 0;
  }
  jack_on_info_shutdown(client, &JackSession::ServerGone, this);
  if (jack_activate(client) != 0) {
    problem = "Sonavel could not join the JACK server's processing.";
    Disconnect();
    return 0;
  }
  // Only an active client learns the rate the graph really runs at: before,
  // PipeWire answers with the rate asked for.
  const jack_nframes_t rate = jack_get_sample_rate(client);
  if (rate != kRate) {
    problem = "The JACK server runs at " + Thousands(rate) +
              " Hz, but Sonavel plays and records at 44,100 Hz only, so it uses the desktop's "
              "sound device instead. To record through JACK, run the server at 44,100 Hz";
    problem += std::string_view(jack_get_version_string()).find("PipeWire") != std::string::npos
                   ? " (on PipeWire: pw-metadata -n settings 0 clock.allowed-rates "
                     "\"[ 44100 48000 ]\")."
                   : ".";
    Disconnect();
    return 0;
  }
  ConnectPhysical(client, outPorts, JackPortIsPhysical | JackPortIsInput, true);
  ConnectPhysical(client, inPorts, JackPortIsPhysical | JackPortIsOutput, false);
  return 1;
}

void JackSession::Disconnect() {
  if (client == nullptr) return;
  // Joins the process thread: no cycle runs after this.
  jack_client_close(client);
  client = nullptr;
  std::fill(outPorts, outPorts + 2, nullptr);
  std::fill(inPorts, inPorts + 2, nullptr);
}

void JackSession::LetGoIfGone() {
  if (gone.load()) Disconnect();
}

bool JackSession::EnsureRunning() {
  if (Running()) return true;
  std::string ignored;
  return Connect(ignored) == 1;
}

int JackSession::RateChanged(jack_nframes_t rate, void* self) {
  // Played at another rate, the song would be at the wrong pitch and the takes
  // out of place: from then on the devices act as if the server had gone.
  if (rate != kRate) static_cast<JackSession*>(self)->Lost();
  return 0;
}

void JackSession::ServerGone(jack_status_t, const char*, void* self) {
  // Runs on one of libjack's threads, like a signal handler: a flag and a
  // posted notice, which neither allocates nor waits.
  static_cast<JackSession*>(self)->Lost();
}

void JackSession::Lost() {
  if (gone.exchange(true)) return;
  platform().Post({WM_WAVE_LOST, out.Generation(), 0});
}

int JackSession::Xrun(void* self) {
  ++static_cast<JackSession*>(self)->xruns;
  return 0;
}

uint32_t JackSession::Interruption(jack_nframes_t n) {
  const jack_nframes_t start = jack_last_frame_time(client);
  uint32_t lost = 0;
  // A cycle the server's clock skipped was heard by nobody: the song stood
  // still meanwhile.
  if (lastCycleFrames != 0) {
    const auto skipped = static_cast<int32_t>(start - (lastCycleStart + lastCycleFrames));
    if (skipped > 0) lost = static_cast<uint32_t>(skipped);
  }
  lastCycleStart = start;
  lastCycleFrames = n;
  // An xrun is told on another thread a little later: it counts a period at
  // the next cycle, unless the clock already showed more.
  const uint32_t told = xruns.load();
  if (told != xrunsSeen) {
    xrunsSeen = told;
    lost = std::max(lost, static_cast<uint32_t>(n));
  }
  return lost;
}

int JackSession::Process(jack_nframes_t n, void* self) {
  auto& s = *static_cast<JackSession*>(self);
  const uint32_t interrupted = s.Interruption(n);
  auto* left = static_cast<float*>(jack_port_get_buffer(s.outPorts[0], n));
  auto* right = static_cast<float*>(jack_port_get_buffer(s.outPorts[1], n));
  const CyclePlayed played = s.out.Render(left, right, n);
  // Only now the inputs: see the order of a cycle in the header.
  const auto* inLeft = static_cast<const float*>(jack_port_get_buffer(s.inPorts[0], n));
  const auto* inRight = static_cast<const float*>(jack_port_get_buffer(s.inPorts[1], n));
  s.in.Capture(inLeft, inRight, n, played, interrupted);
  return 0;
}

uint32_t JackSession::LongestLatency(jack_port_t* port, jack_latency_callback_mode_t mode) const {
  const char** names = jack_port_get_all_connections(client, port);
  if (names == nullptr) return 0;
  uint32_t longest = 0;
  for (int i = 0; names[i] != nullptr; ++i) {
    jack_port_t* other = jack_port_by_name(client, names[i]);
    // A loop straight back into our own ports takes no time (see the header).
    if (other == nullptr || jack_port_is_mine(client, other)) continue;
    jack_latency_range_t range{};
    jack_port_get_latency_range(other, mode, &range);
    longest = std::max(longest, range.max);
  }
  jack_free(names);
  return longest;
}

uint32_t JackSession::RoundTripFrames() const {
  if (!Running()) return 0;
  uint32_t out = 0;
  uint32_t in = 0;
  for (int i = 0; i < 2; ++i) {
    out = std::max(out, LongestLatency(outPorts[i], JackPlaybackLatency));
    in = std::max(in, LongestLatency(inPorts[i], JackCaptureLatency));
  }
  return out + in;
}

uint32_t JackSession::Period() const {
  return Running() ? jack_get_buffer_size(client) : 0;
}

bool JackSession::InputsConnected() const {
  // A server that went away feeds nothing, but a take from it fails anyway:
  // that is not the inputs' fault.
  if (!Running()) return true;
  return std::any_of(inPorts, inPorts + 2,
                     [](jack_port_t* p) { return jack_port_connected(p) > 0; });
}
