// The Track menu's writes next to the WAV export of the same dense song
// (BM_ExportWav): a full-length click track, and seven tracks, four through the
// reverb, bounced into the eighth. Both replace a full track, so each also keeps
// that track's 49.5 MB for Undo; Undo, untimed, gives the other benchmarks their
// dense song back.
#include <benchmark/benchmark.h>

#include "audio/reverb.h"
#include "bench_song.h"
#include "codecs/bounce.h"
#include "codecs/click_track.h"
#include "song/song_state.h"
#include "song/undo.h"

namespace {

void BM_ClickTrack(benchmark::State& state) {
  DenseSong(4);
  for (auto _ : state) {
    if (WriteClickTrack(tracks[8], {113, 4, -12}) != 1) state.SkipWithError("not written");
    state.PauseTiming();
    Undo();
    DropUndo();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ClickTrack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BounceSevenTracks(benchmark::State& state) {
  DenseSong(4);
  tracks[8].playOn = 0;
  for (auto _ : state) {
    if (BounceTo(tracks[8]) != 1) state.SkipWithError("not bounced");
    state.PauseTiming();
    Undo();
    DropUndo();
    state.ResumeTiming();
  }
  tracks[8].playOn = 1;
  EffectRelease();
}
BENCHMARK(BM_BounceSevenTracks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
