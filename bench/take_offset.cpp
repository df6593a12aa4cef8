// Where every second of a take lands against what was played, through a
// loopback: the devices play a burst in each second of a ten-second take while
// the core's own capture records it (input buffers queued, the input started,
// the seconds written two at a time and refilled as they come back, as the
// engine does), and each burst is looked for in the capture. Run by hand:
//
//   take_offset sdl [STARTS] [TAKES] [SECONDS]        SDL through a private
//                                   PipeWire graph (pipewire-pulse; a null sink
//                                   whose monitor is the input)
//   pw-jack take_offset jack [STARTS] [TAKES] [SECONDS]   the JACK devices on
//                                   the same graph, ports looped through the sink
//
// STARTS times the devices are opened afresh (a start of the program), TAKES
// takes each time. Prints each second's offset in frames (positive: late; "-"
// when the burst never came back whole) and the dropouts the take reported,
// then how many seconds stay within 32 frames of the median. To see it under
// load, run beside it two busy loops and a disk writer, e.g.
//   sh -c 'while :; do :; done' &   (twice)
//   sh -c 'while :; do dd if=/dev/zero of=/tmp/load bs=1M count=1000 oflag=direct; done' &
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/capture.h"
#include "base/bytes.h"
#include "devices/jack/jack_wave.h"
#include "devices/sdl/sdl_wave.h"
#include "platform/wave.h"
#include "test_servers.h"
#include "tests/fake/fake_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kSecondBytes = 176400;
constexpr uint32_t kSecondFrames = 44100;
constexpr uint32_t kBurstAt = 20000;  // frames into every second
constexpr uint32_t kBurstFrames = 64;
constexpr long kNotFound = 1L << 40;
constexpr long kNear = 32;

// A second of silence with a burst that no other second shares.
void FillSecond(uint8_t* second, int index) {
  std::fill_n(second, kSecondBytes, uint8_t{0});
  uint32_t x = 12345u + 7919u * static_cast<uint32_t>(index);
  for (uint32_t i = 0; i < kBurstFrames * 2; ++i) {
    x = x * 1103515245u + 12345u;
    StoreI16(second + kBurstAt * 4 + i * 2, static_cast<int16_t>((x >> 16) | 1));
  }
}

struct Take {
  std::vector<long> offsets;  // one per second
  int dropouts = 0;
  std::string where;  // the first dropouts: second and length
};

struct Player {
  int seconds = 0;
  int next = 0;  // the next second to queue
  Bytes memory[2] = {Bytes(kSecondBytes), Bytes(kSecondBytes)};
  WaveHeader headers[2];
  uint32_t generation = 0;

  void Queue(WaveHeader& h) {
    if (next >= seconds) return;
    FillSecond(h.data, next++);
    h.bufferLength = kSecondBytes;
    waveOut().Write(h);
  }
};

Player player;
uint32_t inputGeneration = 0;

void Deliver(const Message& m) {
  auto* h = reinterpret_cast<WaveHeader*>(m.lParam);
  if (m.id == MM_WIM_DATA && m.wParam == inputGeneration && h != nullptr) CaptureData(*h);
  if (m.id == MM_WOM_DONE && m.wParam == player.generation &&
      (h == &player.headers[0] || h == &player.headers[1])) {
    player.Queue(*h);
  }
}

Take RecordTake(int seconds) {
  Take take;
  Bytes target(size_t{kSecondBytes} * static_cast<size_t>(seconds + 1));
  if (CaptureOpen(target.data(), static_cast<int64_t>(target.size()), 0) != CaptureOpened::Yes) {
    take.offsets.assign(static_cast<size_t>(seconds), kNotFound);
    return take;
  }
  inputGeneration = waveIn().Generation();
  player.seconds = seconds;
  player.next = 0;
  player.generation = waveOut().Generation();
  for (int i = 0; i < 2; ++i) {
    player.headers[i] = WaveHeader{};
    player.headers[i].data = player.memory[i].data();
  }
  waveIn().Start();
  player.Queue(player.headers[0]);
  player.Queue(player.headers[1]);
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(seconds * 1000 + 700);
  while (std::chrono::steady_clock::now() < until) {
    fakePlatform.PumpTo(Deliver);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  waveOut().Reset();
  CaptureEnd();
  const CaptureDropouts& found = CaptureDropoutsFound();
  take.dropouts = found.count;
  for (int i = 0; i < std::min(found.count, 6); ++i) {
    char text[48];
    std::snprintf(text, sizeof text, " %.2fs:%.0fms", found.kept[i].at / 176400.0,
                  found.kept[i].bytes / 176.4);
    take.where += text;
  }
  fakePlatform.PumpTo([](const Message&) {});
  Bytes second(kSecondBytes);
  for (int k = 0; k < seconds; ++k) {
    FillSecond(second.data(), k);
    const uint8_t* burst = second.data() + kBurstAt * 4;
    const size_t expected = (size_t{kSecondFrames} * static_cast<size_t>(k) + kBurstAt) * 4;
    const size_t from = expected >= kSecondBytes / 2 ? expected - kSecondBytes / 2 : 0;
    const size_t to = std::min(target.size(), expected + kSecondBytes);
    const auto at = std::search(target.begin() + static_cast<std::ptrdiff_t>(from),
                                target.begin() + static_cast<std::ptrdiff_t>(to), burst,
                                burst + kBurstFrames * 4);
    take.offsets.push_back(
        at == target.begin() + static_cast<std::ptrdiff_t>(to)
            ? kNotFound
            : (static_cast<long>(at - target.begin()) - static_cast<long>(expected)) / 4);
  }
  return take;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "sdl";
  const int starts = argc > 2 ? std::atoi(argv[2]) : 3;
  const int takes = argc > 3 ? std::atoi(argv[3]) : 3;
  const int seconds = std::clamp(argc > 4 ? std::atoi(argv[4]) : 10, 1, 60);
  TestPipeWire graph;
  if (!graph.Start(kind == "jack" ? 1024 : 0)) {
    std::fprintf(stderr, "take_offset: %s\n", graph.Problem().c_str());
    return 1;
  }
  InstallPlatform(&fakePlatform);
  std::vector<Take> all;
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
    for (int t = 0; t < takes; ++t) {
      all.push_back(RecordTake(seconds));
      std::printf("start %d take %d:", s + 1, t + 1);
      for (long o : all.back().offsets) {
        if (o == kNotFound) {
          std::printf(" -");
        } else {
          std::printf(" %ld", o);
        }
      }
      std::printf("  (dropouts reported: %d%s)\n", all.back().dropouts, all.back().where.c_str());
      std::fflush(stdout);
    }
    if (kind == "jack") {
      ReleaseJackWaveDevices();
    } else {
      ReleaseSdlWaveDevices();
    }
  }
  std::vector<long> found;
  for (const Take& take : all) {
    for (long o : take.offsets) {
      if (o != kNotFound) found.push_back(o);
    }
  }
  if (found.empty()) {
    std::printf("no burst came back\n");
    return 1;
  }
  std::sort(found.begin(), found.end());
  const long median = found[found.size() / 2];
  size_t near = 0;
  size_t count = 0;
  int takesInTime = 0;
  int takesOffAndTold = 0;
  int takesOffUntold = 0;
  for (const Take& take : all) {
    bool inTime = true;
    for (long o : take.offsets) {
      ++count;
      if (o != kNotFound && std::labs(o - median) <= kNear) {
        ++near;
      } else {
        inTime = false;
      }
    }
    if (inTime) {
      ++takesInTime;
    } else if (take.dropouts > 0) {
      ++takesOffAndTold;
    } else {
      ++takesOffUntold;
    }
  }
  std::printf(
      "offsets from %ld to %ld frames, median %ld; %zu of %zu seconds within %ld frames of it\n"
      "takes: %d in time throughout, %d off somewhere and reporting dropouts, %d off and "
      "silent\n",
      found.front(), found.back(), median, near, count, kNear, takesInTime, takesOffAndTold,
      takesOffUntold);
  return 0;
}
