// How far a take lands from what was played, start after start: the devices
// play a second with a short burst in it through a loopback and record at the
// same time, in the order the engine uses (input buffers queued, input started,
// two seconds written), and the burst is looked for in the capture. Run by hand:
//
//   take_offset sdl [STARTS] [TAKES]   SDL through a private PipeWire graph
//                                       (pipewire-pulse; a null sink whose
//                                       monitor is the input)
//   pw-jack take_offset jack [STARTS] [TAKES]   the JACK devices on the same
//                                       graph, ports looped through the sink
//
// STARTS times the devices are opened afresh (a start of the program), TAKES
// takes each time. Prints every offset in frames (positive: the take is late)
// and their spread.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "devices/jack/jack_wave.h"
#include "devices/sdl/sdl_wave.h"
#include "platform/wave.h"
#include "test_servers.h"
#include "tests/fake/fake_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kSecond = 176400;
constexpr uint32_t kBurstAt = 20000;  // frames into the first second
constexpr uint32_t kBurstFrames = 64;

std::vector<Message> received;

Bytes Burst() {
  Bytes second(kSecond, 0);
  uint32_t x = 12345;
  for (uint32_t i = 0; i < kBurstFrames * 2; ++i) {
    x = x * 1103515245u + 12345u;
    StoreI16(second.data() + kBurstAt * 4 + i * 2, static_cast<int16_t>((x >> 16) | 1));
  }
  return second;
}

// Frames from the burst's place in the playback to its place in the capture;
// a very large number when it never came back.
long TakeOffset() {
  received.clear();
  Bytes burst = Burst();
  Bytes silence(kSecond, 0);
  WaveHeader out[2];
  out[0].data = burst.data();
  out[0].bufferLength = kSecond;
  out[1].data = silence.data();
  out[1].bufferLength = kSecond;
  Bytes memory[2] = {Bytes(16384), Bytes(16384)};
  WaveHeader in[2];
  for (int i = 0; i < 2; ++i) {
    in[i].data = memory[i].data();
    in[i].bufferLength = 16384;
  }
  if (waveIn().Open() != kWaveOk) return 1L << 40;
  const uint32_t generation = waveIn().Generation();
  waveIn().AddBuffer(in[0]);
  waveIn().AddBuffer(in[1]);
  waveIn().Start();
  waveOut().Write(out[0]);
  waveOut().Write(out[1]);
  Bytes captured;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    fakePlatform.PumpTo([](const Message& m) { received.push_back(m); });
    for (const Message& m : received) {
      if (m.id != MM_WIM_DATA || m.wParam != generation) continue;
      auto* h = reinterpret_cast<WaveHeader*>(m.lParam);
      captured.insert(captured.end(), h->data, h->data + h->bytesRecorded);
      waveIn().AddBuffer(*h);
    }
    received.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  waveIn().Reset();
  waveIn().Close();
  waveOut().Reset();
  fakePlatform.PumpTo([](const Message&) {});
  const uint8_t* first = burst.data() + kBurstAt * 4;
  const auto at = std::search(captured.begin(), captured.end(), first, first + kBurstFrames * 4);
  if (at == captured.end()) return 1L << 40;
  return static_cast<long>((at - captured.begin()) / 4) - static_cast<long>(kBurstAt);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "sdl";
  const int starts = argc > 2 ? std::atoi(argv[2]) : 10;
  const int takes = argc > 3 ? std::atoi(argv[3]) : 3;
  TestPipeWire graph;
  if (!graph.Start(kind == "jack" ? 1024 : 0)) {
    std::fprintf(stderr, "take_offset: %s\n", graph.Problem().c_str());
    return 1;
  }
  InstallPlatform(&fakePlatform);
  std::vector<long> offsets;
  for (int s = 0; s < starts; ++s) {
    if (kind == "jack") {
      std::string problem;
      if (StartJackAudio(problem) != 1 || !LoopPorts("sonavel", LoopKind::NullSink, &problem)) {
        std::fprintf(stderr, "take_offset: %s\n", problem.c_str());
        return 1;
      }
      InstallJackWaveDevices();
    } else {
      InstallSdlWaveDevices();
    }
    waveOut().Open();
    // The program's output runs a while before the first take.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("start %d:", s + 1);
    for (int t = 0; t < takes; ++t) {
      offsets.push_back(TakeOffset());
      std::printf(" %ld", offsets.back());
    }
    std::printf("  (round trip reported: %u)\n", waveIn().RoundTripFrames());
    if (kind == "jack") {
      ReleaseJackWaveDevices();
    } else {
      ReleaseSdlWaveDevices();
    }
  }
  std::sort(offsets.begin(), offsets.end());
  const long median = offsets[offsets.size() / 2];
  const auto near = std::count_if(offsets.begin(), offsets.end(),
                                  [median](long o) { return std::labs(o - median) <= 64; });
  std::printf(
      "offsets from %ld to %ld frames: spread %ld frames (%.1f ms); median %ld, %ld of %zu "
      "within 64 frames of it\n",
      offsets.front(), offsets.back(), offsets.back() - offsets.front(),
      (offsets.back() - offsets.front()) / 44.1, median, static_cast<long>(near), offsets.size());
  return 0;
}
