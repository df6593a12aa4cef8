// Any bytes as a file only FFmpeg is asked about: mostly decoded into a small
// buffer, which keeps the target fast, and now and then imported into a track as
// the last resort of an import does it.
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/ffmpeg_import.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorkingSong();
  const std::string path = fuzz::WriteInput("in.av", data, size);
  if (size > 0 && data[size - 1] % 8 == 0) {
    // A refusal is always said.
    if (LoadWithFfmpeg(tracks[4], path, "ImportFileTo", "not a sound file") == 0 &&
        fakePlatform.messages.empty()) {
      std::abort();
    }
    return 0;
  }
  static std::vector<uint8_t> pcm(1'000'000);
  std::string why;
  const size_t n = DecodeWithFfmpeg(path, pcm, &why);
  // Whole stereo frames within the room given, and none from a file refused.
  if (n > pcm.size() || n % 4 != 0 || (!why.empty() && n != 0)) std::abort();
  return 0;
}
