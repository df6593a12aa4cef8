// Any bytes as the start of a file: the kind they are taken for, and the WAV
// chunk walk that decides between a byte copy and a conversion.
#include <cstdlib>
#include <span>

#include "codecs/sniff.h"
#include "codecs/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> head(data, size);
  const SoundKind kind = SniffSound(head);
  // A WAV copied byte for byte must be one the sniffing calls a WAV.
  if (IsTrackFormatWav(head) && kind != SoundKind::Wav) std::abort();
  // Behind a tag lies MP3 or FLAC, told alike from the whole and from behind it.
  const uint64_t tag = Id3v2TagBytes(head);
  if (tag != 0 && kind != SoundKind::Mp3 && kind != SoundKind::Flac) std::abort();
  if (tag != 0 && tag < size && KindBehindTag(head.subspan(tag)) != kind) std::abort();
  // What the walk finds lies inside the bytes.
  const WavChunks chunks = WalkWavChunks(head);
  if (chunks.format >= 0 && (chunks.formatBytes < 16 ||
                             chunks.format + chunks.formatBytes > static_cast<int64_t>(size))) {
    std::abort();
  }
  if (chunks.data >= 0 && chunks.data + 8 > static_cast<int64_t>(size)) std::abort();
  return 0;
}
