// Export of the full song (eight dense tracks, four through the reverb) in every
// format, and the imports of 281-second compressed files.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>

#include "audio/reverb.h"
#include "bench_song.h"
#include "codecs/encoders.h"
#include "codecs/export.h"
#include "codecs/import.h"
#include "codecs/mp3.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"
#include "song/song_file.h"
#include "song/song_state.h"

namespace {

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void ReportExport(benchmark::State& state) {
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * SongSeconds, benchmark::Counter::kIsRate);
  state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

void BM_ExportWav(benchmark::State& state) {
  DenseSong(4);
  const std::string path = BenchDir() + "mix.wav";
  for (auto _ : state) {
    RenderMix();
    if (WriteWavFile(path, song.workBuffer.get() + kWavHeaderBytes, TrackRegionBytes) != 1) {
      state.SkipWithError("write failed");
    }
  }
  ReportExport(state);
  EffectRelease();
}
BENCHMARK(BM_ExportWav)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportOgg(benchmark::State& state) {
  DenseSong(4);
  const std::string path = BenchDir() + "mix.ogg";
  for (auto _ : state) {
    RenderMix();
    if (ExportSave(path, song.workBuffer.get() + kWavHeaderBytes, TrackRegionBytes) != 1) {
      state.SkipWithError("encode failed");
    }
  }
  ReportExport(state);
  EffectRelease();
}
BENCHMARK(BM_ExportOgg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_ExportFlac(benchmark::State& state) {
  DenseSong(4);
  const std::string path = BenchDir() + "mix.flac";
  for (auto _ : state) {
    RenderMix();
    if (WriteFlacFile(path, song.workBuffer.get() + kWavHeaderBytes, TrackRegionBytes) != 1) {
      state.SkipWithError("encode failed");
    }
  }
  ReportExport(state);
  EffectRelease();
}
BENCHMARK(BM_ExportFlac)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportMp3(benchmark::State& state) {
  DenseSong(4);
  const std::string path = BenchDir() + "mix.mp3";
  for (auto _ : state) {
    RenderMix();
    if (WriteMp3File(path, song.workBuffer.get() + kWavHeaderBytes, TrackRegionBytes, "mix") != 1) {
      state.SkipWithError("encode failed");
    }
  }
  ReportExport(state);
  EffectRelease();
}
BENCHMARK(BM_ExportMp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// What any WAV export must do at least: read the eight dense regions through
// the same one-second slots and write a 49.5 MB file. The export's distance
// from this is the mixing and the effect.
void BM_ExportFloor(benchmark::State& state) {
  DenseSong(4);
  const std::string path = BenchDir() + "floor.wav";
  uint8_t* timeline = song.workBuffer.get() + kWavHeaderBytes;
  for (auto _ : state) {
    for (int second = 0; second < SongSeconds; ++second) {
      song.mixSecond = second;
      for (int t = 1; t <= TrackCount; ++t) ReadTrackBlock(tracks[t]);
    }
    std::memcpy(timeline, tracks[1].audioRing[0], BytesPerSecond);
    if (WriteWavFile(path, timeline, TrackRegionBytes) != 1) state.SkipWithError("write failed");
  }
  ReportExport(state);
}
BENCHMARK(BM_ExportFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 281-second tone file encoded by `encoder` (a command reading $in, writing
// $out), made once per program run.
std::string EncodedTones(const char* name, const std::string& encoder) {
  const std::string wav = BenchDir() + "tones.wav";
  const std::string out = BenchDir() + name;
  if (::access(out.c_str(), R_OK) == 0) return out;
  if (::access(wav.c_str(), R_OK) != 0) {
    FillTones(song.workBuffer.get(), TrackRegionBytes / 4, 0, 5);
    WriteWavFile(wav, song.workBuffer.get(), TrackRegionBytes);
  }
  Shell("in='" + wav + "' out='" + out + "'; " + encoder + " >/dev/null 2>&1");
  return out;
}

void RunImport(benchmark::State& state, const char* tool, const std::string& path,
               int (*load)(Track&, const std::string&)) {
  if (!HaveTool(tool)) {
    state.SkipWithError("encoder missing");
    return;
  }
  for (auto _ : state) {
    if (load(tracks[2], path) != 1) state.SkipWithError("import failed");
  }
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * SongSeconds, benchmark::Counter::kIsRate);
}

void BM_ImportMp3(benchmark::State& state) {
  FreshSong();
  RunImport(state, "lame", EncodedTones("tones.mp3", "lame --silent -b 128 \"$in\" \"$out\""),
            LoadMp3);
}
BENCHMARK(BM_ImportMp3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tracks' own WAV format, copied byte for byte after the sniffing.
void BM_ImportWav(benchmark::State& state) {
  FreshSong();
  RunImport(state, "sh", EncodedTones("tones16.wav", "cp \"$in\" \"$out\""), ImportFileTo);
}
BENCHMARK(BM_ImportWav)->Unit(benchmark::kMillisecond)->UseRealTime();

// A take as other recorders write it: 24-bit 48 kHz, as WAV and as FLAC.
void BM_ImportWav24(benchmark::State& state) {
  FreshSong();
  RunImport(state, "sox", EncodedTones("tones24.wav", "sox \"$in\" -r 48000 -b 24 \"$out\""),
            ImportFileTo);
}
BENCHMARK(BM_ImportWav24)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportFlac(benchmark::State& state) {
  FreshSong();
  RunImport(state, "flac",
            EncodedTones("tones24.flac",
                         "sox \"$in\" -r 48000 -b 24 \"$out.wav\" && "
                         "flac -s -f -o \"$out\" \"$out.wav\""),
            ImportFileTo);
}
BENCHMARK(BM_ImportFlac)->Unit(benchmark::kMillisecond)->UseRealTime();

// A voice memo as phones write it, through FFmpeg.
void BM_ImportM4a(benchmark::State& state) {
  FreshSong();
  RunImport(state, "ffmpeg",
            EncodedTones("tones.m4a", "ffmpeg -v error -y -i \"$in\" -c:a aac \"$out\""),
            ImportFileTo);
}
BENCHMARK(BM_ImportM4a)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportOgg(benchmark::State& state) {
  FreshSong();
  RunImport(state, "oggenc", EncodedTones("tones.ogg", "oggenc -Q -q 4 -o \"$out\" \"$in\""),
            LoadOgg);
}
BENCHMARK(BM_ImportOgg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
