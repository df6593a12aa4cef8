// The mixing path: one second of the mix, and the effect on its own.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "bench_song.h"
#include "song/song_state.h"

namespace {

constexpr int kFrames = BytesPerSecond / 4;

// One second with 8 heard tracks, 4 through the reverb, read from a dense song
// (page cache warm after the first pass).
void BM_MixBlock(benchmark::State& state) {
  DenseSong(4);
  EffectReset();
  song.mixSecond = 0;
  for (auto _ : state) {
    if (song.mixSecond >= SongSeconds) song.mixSecond = 0;
    MixBlock();
    benchmark::DoNotOptimize(runState.mixBlock);
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * int64_t{BytesPerSecond} * TrackCount);
}
BENCHMARK(BM_MixBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, going round between markers 3.3 s apart: most seconds hold a join
// and are read from two places.
void BM_MixLoopBlock(benchmark::State& state) {
  DenseSong(4);
  EffectReset();
  runState.loopIn = runState.loopNext = MsToByteOffset(12345);
  runState.loopOut = MsToByteOffset(15678);
  for (auto _ : state) {
    MixLoopBlock();
    benchmark::DoNotOptimize(runState.mixBlock);
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * int64_t{BytesPerSecond} * TrackCount);
}
BENCHMARK(BM_MixLoopBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

// The effect alone on one second of the send, as the mixer runs it.
void BM_Reverb(benchmark::State& state) {
  std::vector<uint8_t> music(BytesPerSecond);
  FillTones(music.data(), kFrames, 0, 2);
  std::vector<uint8_t> send(BytesPerSecond);
  EffectReset();
  for (auto _ : state) {
    std::memcpy(send.data(), music.data(), send.size());
    EffectBlock(send.data(), kFrames);
    benchmark::DoNotOptimize(send.data());
  }
  state.counters["frames_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  EffectRelease();
}
BENCHMARK(BM_Reverb)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The frame-by-frame form the block form must equal, for comparison.
void BM_ReverbFrameByFrame(benchmark::State& state) {
  std::vector<uint8_t> music(BytesPerSecond);
  FillTones(music.data(), kFrames, 0, 2);
  std::vector<int16_t> send(BytesPerSecond / 2);
  EffectReset();
  for (auto _ : state) {
    std::memcpy(send.data(), music.data(), music.size());
    for (int f = 0; f < kFrames; ++f) EffectFrame(send[2 * f], send[2 * f + 1]);
    benchmark::DoNotOptimize(send.data());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  EffectRelease();
}
BENCHMARK(BM_ReverbFrameByFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One MixAdd of a second at a fader volume.
void BM_MixAdd(benchmark::State& state) {
  std::vector<uint8_t> source(BytesPerSecond);
  std::vector<uint8_t> dest(BytesPerSecond);
  FillTones(source.data(), kFrames, 0, 3);
  FillTones(dest.data(), kFrames, 0, 4);
  for (auto _ : state) {
    MixAdd(dest.data(), BytesPerSecond, source.data(), BytesPerSecond, 80);
    benchmark::DoNotOptimize(dest.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{BytesPerSecond});
}
BENCHMARK(BM_MixAdd)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
