// Any bytes as a sound file: mostly decoded through libsndfile into a small
// buffer, which keeps the target fast, and now and then imported into a track the
// whole way, the choice of reader included.
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/import.h"
#include "codecs/sound_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorkingSong();
  const std::string path = fuzz::WriteInput("in.snd", data, size);
  if (size > 0 && data[size - 1] % 8 == 0) {
    // A refusal is always said.
    if (ImportFileTo(tracks[4], path) == 0 && fakePlatform.messages.empty()) std::abort();
    return 0;
  }
  static std::vector<uint8_t> pcm(1'000'000);
  std::string why;
  const size_t n = DecodeSoundFile(path, pcm, &why);
  // Whole stereo frames within the room given, and none from a file refused.
  if (n > pcm.size() || n % 4 != 0 || (!why.empty() && n != 0)) std::abort();
  return 0;
}
