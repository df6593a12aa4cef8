#include "codecs/wav.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "codecs/file_io.h"
#include "codecs/import.h"
#include "platform/platform.h"

namespace {

// Offset of the "data" chunk's header, or -1 when the walk leaves the bytes read
// first. Sizes are unsigned as RIFF defines them, so every step moves forward by
// at least the 8-byte chunk header and the walk always ends.
int64_t FindDataChunk(const uint8_t* bytes, int64_t n) {
  int64_t off = 36;
  while (off + 8 <= n) {
    if (std::memcmp(bytes + off, "data", 4) == 0) return off;
    off += 8 + int64_t{LoadU32(bytes + off + 4)};
  }
  return -1;
}

}  // namespace

int LoadFileWav(Track& track, const std::string& path) {
  uint8_t* bytes = song.workBuffer.get();
  const int64_t n =
      static_cast<int64_t>(ReadFileStart(path, {bytes, static_cast<size_t>(kWavReadLimit)}).bytes);
  Platform& ui = platform();
  if (n == kWavReadLimit) {
    // Too long for a track: say so, then keep its first 281 seconds.
    ui.ShowMessage("LoadFileWav: exceeded max", "Error: File too large");
  } else if (n == 0) {
    ui.ShowMessage("LoadFileWav: Missing File", "Error");
    return 0;
  } else if (n < kWavHeaderBytes) {
    ui.ShowMessage("LoadFileWav: File too short", "Error: File too short");
    return 0;
  }
  if (LoadU16(bytes + 22) != 2) {
    ui.ShowMessage(path, "Error: Wav file not stereo");
    return 0;
  }
  if (LoadU16(bytes + 34) != 16) {
    ui.ShowMessage(path, "Error: Wav file not 16 bit");
    return 0;
  }
  if (LoadU32(bytes + 24) != 44100) {
    ui.ShowMessage(path, "Error: Wav file not 44k");
    return 0;
  }
  if (n % 2 != 0) {
    ui.ShowMessage(path, "Error: Wav file not even length");
    return 0;
  }
  const int64_t off = FindDataChunk(bytes, n);
  if (off < 0) {
    ui.ShowMessage("LoadFileWav: no data chunk", "Error");
    return 0;
  }
  // Whole frames only: a chunk (or a file) that ends inside a frame would otherwise
  // give a loop whose every pass shifts the samples against their channels.
  const int64_t length =
      std::min({int64_t{LoadU32(bytes + off + 4)}, int64_t{TrackRegionBytes}, n - off - 8}) &
      ~int64_t{3};
  return StoreImportedAudio(track, bytes + off + 8, static_cast<int32_t>(length), path, 0);
}

void BuildWavHeader(uint8_t* destination, uint32_t n) {
  std::memcpy(destination, "RIFF", 4);
  StoreU32(destination + 4, n + 36);
  std::memcpy(destination + 8, "WAVEfmt ", 8);
  StoreU32(destination + 16, 16);
  StoreU16(destination + 20, 1);  // PCM
  StoreU16(destination + 22, 2);
  StoreU32(destination + 24, 44100);
  StoreU32(destination + 28, BytesPerSecond);
  StoreU16(destination + 32, 4);
  StoreU16(destination + 34, 16);
  std::memcpy(destination + 36, "data", 4);
  StoreU32(destination + 40, n);
}

int WriteWavFile(const std::string& path, const uint8_t* data, uint32_t n) {
  uint8_t header[kWavHeaderBytes];
  BuildWavHeader(header, n);
  if (WriteWholeFile(path, {{header, sizeof header}, {data, n}})) return 1;
  platform().ShowMessage("WriteWavFile - failed", "Error");
  return 0;
}
