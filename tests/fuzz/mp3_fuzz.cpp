// Any bytes as an MP3 file: mostly decoded into a small buffer, which keeps the
// target fast, and now and then imported into a track the whole way.
#include <cstdlib>
#include <vector>

#include "codecs/mp3.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::StartProgram();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorkingSong();
  const std::string path = fuzz::WriteInput("in.mp3", data, size);
  if (size > 0 && data[size - 1] % 8 == 0) {
    // A refusal is always said, once.
    if (LoadMp3(tracks[3], path) == 0 && fakePlatform.messages.size() != 1) std::abort();
    return 0;
  }
  static std::vector<uint8_t> pcm(2'000'000);
  DecodeStatus status = DecodeStatus::Ok;
  const int32_t n = DecodeMp3Lib(path, pcm.data(), static_cast<int32_t>(pcm.size()), &status);
  // Whole stereo frames, within the room given, and audio exactly when it says so.
  if (n < 0 || static_cast<size_t>(n) > pcm.size() || n % 4 != 0) std::abort();
  if ((status == DecodeStatus::Ok) != (n > 0)) std::abort();
  return 0;
}
