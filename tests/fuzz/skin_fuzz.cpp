// Any bytes as a skin blob, unpacked and drawn; and as the picture file itself, so
// the picture's header is reached without getting through zlib first.
#include <vector>

#include "fuzz_support.h"
#include "ui/skin.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallFakes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> unpacked(2'000'000);
  static Surface layer;
  if (layer.Empty()) layer.Create();
  fakePlatform.Reset();
  const std::span<const uint8_t> input(data, size);
  const size_t n = LoadFileUnCmp(input, unpacked);
  if (n > unpacked.size()) std::abort();
  if (n > 3) BitmapCopy(std::span<const uint8_t>(unpacked).first(n), layer);
  BitmapCopy(input, layer);
  return 0;
}
