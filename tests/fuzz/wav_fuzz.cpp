// Any bytes as a WAV file imported into a track.
#include "codecs/wav.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorkingSong();
  // A name beginning with "loop" also runs the loop rule on whatever was taken.
  const char* name = size > 0 && (data[0] & 1) ? "loop.wav" : "in.wav";
  const std::string path = fuzz::WriteInput(name, data, size);
  Track& track = tracks[2];
  LoadFileWav(track, path);
  if (track.loopOn != 0 && (track.loopStart != 0 || track.loopEnd < 0 ||
                            track.loopEnd > TrackRegionBytes || track.loopEnd % 4 != 0)) {
    std::abort();
  }
  track.loopOn = 0;
  return 0;
}
