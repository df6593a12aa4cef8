// The song file: a first write into a fresh working file, and save-as's copy of
// a dense song next to cp of the same file.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "bench_song.h"
#include "song/song_commands.h"
#include "song/song_file.h"
#include "song/song_state.h"

namespace {

// One second at the start of track 8: the file grows to 396 MB on the way.
void BM_FileWrite(benchmark::State& state) {
  std::vector<uint8_t> second(BytesPerSecond);
  FillTones(second.data(), BytesPerSecond / 4, 0, 8);
  for (auto _ : state) {
    state.PauseTiming();
    FreshSong();
    state.ResumeTiming();
    const int64_t written = FileWrite(tracks[8], second.data(), 0, BytesPerSecond);
    if (written != BytesPerSecond) state.SkipWithError("short write");
  }
}
BENCHMARK(BM_FileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopySongFile(benchmark::State& state) {
  DenseSong(4);
  const std::string copy = BenchDir() + "copy.svl";
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(copy.c_str());
    state.ResumeTiming();
    if (CopySongFile(songPath, copy) != 1) state.SkipWithError("copy failed");
  }
  ::unlink(copy.c_str());
  state.SetBytesProcessed(state.iterations() * (SongHeaderBytes + int64_t{8} * TrackRegionBytes));
}
BENCHMARK(BM_CopySongFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full-size song (as every copy is) with one track of audio and silence never
// written: what a copy writes should be about one track.
void BM_CopyOneTrackSong(benchmark::State& state) {
  FreshSong();
  FillTones(song.workBuffer.get(), TrackRegionBytes / 4, 0, 1);
  if (FileWrite(tracks[1], song.workBuffer.get(), 0, TrackRegionBytes) != TrackRegionBytes ||
      !SongFileHandle().Resize(SongHeaderBytes + int64_t{TrackCount} * TrackRegionBytes)) {
    state.SkipWithError("short write");
  }
  const std::string copy = BenchDir() + "copy.svl";
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(copy.c_str());
    state.ResumeTiming();
    if (CopySongFile(songPath, copy) != 1) state.SkipWithError("copy failed");
  }
  struct stat st {};
  if (::stat(copy.c_str(), &st) == 0) state.counters["MB on disk"] = st.st_blocks * 512 / 1e6;
  ::unlink(copy.c_str());
}
BENCHMARK(BM_CopyOneTrackSong)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same copy by cp, in the same run, for the ratio.
void BM_CopyWithCp(benchmark::State& state) {
  DenseSong(4);
  const std::string copy = BenchDir() + "copy.svl";
  const std::string command = "cp '" + songPath + "' '" + copy + "'";
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(copy.c_str());
    state.ResumeTiming();
    if (!Shell(command)) state.SkipWithError("cp failed");
  }
  ::unlink(copy.c_str());
  state.SetBytesProcessed(state.iterations() * (SongHeaderBytes + int64_t{8} * TrackRegionBytes));
}
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
