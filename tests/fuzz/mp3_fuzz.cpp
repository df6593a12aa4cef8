// Any bytes as an MP3 file imported into a track.
#include <cstdlib>

#include "codecs/mp3.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorkingSong();
  const std::string path = fuzz::WriteInput("in.mp3", data, size);
  // A refusal is always said, once.
  if (LoadMp3(tracks[3], path) == 0 && fakePlatform.messages.size() != 1) std::abort();
  return 0;
}
