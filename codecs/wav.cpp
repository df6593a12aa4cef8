#include "codecs/wav.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "codecs/file_io.h"
#include "codecs/imported_audio.h"
#include "platform/platform.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The extensible format names its samples by a GUID; this is PCM's (its first two
// bytes are the PCM format tag).
constexpr uint8_t kPcmSubformat[16] = {1,    0, 0, 0,    0, 0,    0x10, 0,
                                       0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

// Byte offsets inside the format chunk's body.
constexpr int kChannelsAt = 2;
constexpr int kRateAt = 4;
constexpr int kBitsAt = 14;
constexpr int kSubformatAt = 24;

}  // namespace

WavChunks WalkWavChunks(std::span<const uint8_t> bytes) {
  WavChunks found;
  const int64_t n = static_cast<int64_t>(bytes.size());
  // Sizes are unsigned as RIFF defines them, so every step moves forward by at
  // least the 8-byte chunk header and the walk always ends.
  for (int64_t off = 12; off + 8 <= n;) {
    const uint8_t* chunk = bytes.data() + off;
    const int64_t size = LoadU32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      found.data = off;
      break;
    }
    const int64_t held = std::min(size, n - off - 8);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && found.format < 0 && held >= 16) {
      found.format = off + 8;
      found.formatBytes = held;
    }
    off += 8 + size + (size & 1);
  }
  return found;
}

bool IsTrackFormatWav(std::span<const uint8_t> head) {
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 ||
      std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
    return false;
  }
  const WavChunks chunks = WalkWavChunks(head);
  if (chunks.format < 0) return false;
  const uint8_t* format = head.data() + chunks.format;
  const uint16_t tag = LoadU16(format);
  const bool pcm =
      tag == kFormatPcm || (tag == kFormatExtensible && chunks.formatBytes >= kSubformatAt + 16 &&
                            std::memcmp(format + kSubformatAt, kPcmSubformat, 16) == 0);
  return pcm && LoadU16(format + kChannelsAt) == 2 && LoadU32(format + kRateAt) == 44100 &&
         LoadU16(format + kBitsAt) == 16;
}

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
  const WavChunks chunks = WalkWavChunks({bytes, static_cast<size_t>(n)});
  if (chunks.format < 0) {
    ui.ShowMessage("LoadFileWav: no format chunk", "Error");
    return 0;
  }
  const uint8_t* format = bytes + chunks.format;
  if (LoadU16(format + kChannelsAt) != 2) {
    ui.ShowMessage(path, "Error: Wav file not stereo");
    return 0;
  }
  if (LoadU16(format + kBitsAt) != 16) {
    ui.ShowMessage(path, "Error: Wav file not 16 bit");
    return 0;
  }
  if (LoadU32(format + kRateAt) != 44100) {
    ui.ShowMessage(path, "Error: Wav file not 44k");
    return 0;
  }
  if (n % 2 != 0) {
    ui.ShowMessage(path, "Error: Wav file not even length");
    return 0;
  }
  const int64_t off = chunks.data;
  if (off < 0) {
    ui.ShowMessage("LoadFileWav: no data chunk", "Error");
    return 0;
  }
  // A recorder that never finished its file leaves a data size of 0 (or the
  // 0xFFFFFFFF of a stream) with its audio behind it: that audio runs to the end.
  const uint32_t stated = LoadU32(bytes + off + 4);
  const int64_t dataSize = stated == 0 ? n - off - 8 : int64_t{stated};
  // Whole frames only: a chunk (or a file) that ends inside a frame would otherwise
  // give a loop whose every pass shifts the samples against their channels.
  const int64_t length = std::min({dataSize, int64_t{TrackRegionBytes}, n - off - 8}) & ~int64_t{3};
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
  int error = 0;
  if (WriteWholeFile(path, {{header, sizeof header}, {data, n}}, &error)) return 1;
  platform().ShowMessage(FailureText("WriteWavFile - failed", path, error), "Error");
  return 0;
}
