// Any bytes decoded as Ogg Vorbis into a WAV image.
#include <cstdlib>
#include <vector>

#include "base/bytes.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kOutputBytes = 4'000'000;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallFakes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> output(kOutputBytes);
  DecodeStatus status = DecodeStatus::Ok;
  const int32_t n = DecodeOggImage({data, size}, output, &status);
  // The image is its header and whole stereo frames, and says how much it holds.
  if (n < kWavHeaderBytes || static_cast<size_t>(n) > output.size() ||
      (n - kWavHeaderBytes) % 4 != 0 ||
      LoadU32(output.data() + 40) != static_cast<uint32_t>(n - 44)) {
    std::abort();
  }
  if (status != DecodeStatus::Ok && n != kWavHeaderBytes) std::abort();
  return 0;
}
