// What keeping work costs: the stop of a full-length take over a full track,
// with the bytes it replaces kept for Undo, and an import over a full track next
// to the keeping alone (the import without it is the difference).
#include <benchmark/benchmark.h>

#include <vector>

#include "audio/playback.h"
#include "audio/recording.h"
#include "audio/stream.h"
#include "bench_song.h"
#include "codecs/import.h"
#include "codecs/wav.h"
#include "song/song_file.h"
#include "song/undo.h"
#include "tests/fake/fake_platform.h"

namespace {

// Track 3 holds a whole take already: the undo copy has every byte to keep.
void FullTrack(int t) {
  FillTones(song.workBuffer.get(), TrackRegionBytes / 4, 0, t);
  FileWrite(tracks[t], song.workBuffer.get(), 0, TrackRegionBytes);
}

void RecordWholeSong() {
  std::vector<uint8_t> piece(16384);
  FillTones(piece.data(), piece.size() / 4, 0, 5);
  for (int32_t fed = 0; fed < TrackRegionBytes; fed += 16384) {
    fakeWaveIn.FeedInput(piece);
    if (fed / 16384 % 8 == 7) {
      fakePlatform.PumpTo([](const Message& m) { WaveMessage(m.id, m.wParam, m.lParam); });
    }
  }
}

void BM_StopOfAFullTake(benchmark::State& state) {
  FreshSong();
  FullTrack(3);
  AudioInit();
  RecordInit();
  for (auto _ : state) {
    state.PauseTiming();
    song.armedTrack = 3;
    song.positionMs = 0;
    TransportStart();
    // The whole song has been recorded when the stop comes, the last of it
    // still in the device's buffers.
    RecordWholeSong();
    fakePlatform.Advance(SongMs);
    state.ResumeTiming();
    TransportStop();
    state.PauseTiming();
    fakePlatform.PumpTo([](const Message&) {});
    if (CanUndo() != 1) state.SkipWithError("nothing kept for undo");
    state.ResumeTiming();
  }
  song.armedTrack = 0;
  RecordRelease();
  AudioRelease();
}
BENCHMARK(BM_StopOfAFullTake)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string FullWav() {
  const std::string path = BenchDir() + "full.wav";
  FillTones(song.workBuffer.get(), TrackRegionBytes / 4, 0, 9);
  WriteWavFile(path, song.workBuffer.get(), TrackRegionBytes);
  return path;
}

void BM_ImportOverAFullTrack(benchmark::State& state) {
  FreshSong();
  FullTrack(4);
  const std::string wav = FullWav();
  for (auto _ : state) {
    if (ImportFileTo(tracks[4], wav) != 1) state.SkipWithError("import failed");
  }
}
BENCHMARK(BM_ImportOverAFullTrack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KeepingAFullTrackForUndo(benchmark::State& state) {
  FreshSong();
  FullTrack(4);
  for (auto _ : state) {
    if (KeepForUndo(UndoKind::Import, tracks[4], LoopOf(tracks[4]), 0, TrackRegionBytes) != 1) {
      state.SkipWithError("nothing kept");
    }
  }
  DropUndo();
}
BENCHMARK(BM_KeepingAFullTrackForUndo)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
