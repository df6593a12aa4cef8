#include "codecs/sniff.h"

#include <cstring>
#include <string_view>

namespace {

bool HasAt(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return bytes.size() >= at + text.size() &&
         std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// The first packet of an Ogg stream names its codec.
SoundKind OggKind(std::span<const uint8_t> head) {
  constexpr size_t kPageHeader = 27;
  if (head.size() < kPageHeader) return SoundKind::Unknown;
  const size_t packet = kPageHeader + head[26];
  if (HasAt(head, packet, "\x01vorbis")) return SoundKind::OggVorbis;
  if (HasAt(head, packet, "OpusHead")) return SoundKind::OggOpus;
  if (HasAt(head, packet, "\177FLAC")) return SoundKind::OggFlac;
  return SoundKind::Unknown;
}

struct MpegFrame {
  int version = 0;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layer = 0;    // 3: layer I, 2: layer II, 1: layer III
  int rateIndex = 0;
  uint32_t bytes = 0;
};

// The frame whose header the four bytes are, or none (bytes 0) when they are not
// a header any decoder would take: no sync, a reserved version, layer, rate or
// emphasis, or a free or invalid bit rate, which fixes no frame length.
MpegFrame ParseMpegHeader(const uint8_t* h) {
  MpegFrame frame;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return frame;
  const int version = (h[1] >> 3) & 3;
  const int layer = (h[1] >> 1) & 3;
  const int bitrateIndex = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  const int padding = (h[2] >> 1) & 1;
  if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
      (h[3] & 3) == 2) {
    return frame;
  }
  // Kilobits per second by bit-rate index, for MPEG-1 layers I, II, III and for
  // MPEG-2 and 2.5 layer I, then layers II and III.
  static constexpr int kKbps[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
  };
  static constexpr int kRates[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
  const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int bitrate = kKbps[table][bitrateIndex] * 1000;
  if (layer == 3) {
    frame.bytes = static_cast<uint32_t>((12 * bitrate / rate + padding) * 4);
  } else {
    // Layer III of MPEG-2 and 2.5 carries half the samples per frame.
    const int factor = (layer == 1 && !mpeg1) ? 72 : 144;
    frame.bytes = static_cast<uint32_t>(factor * bitrate / rate + padding);
  }
  frame.version = version;
  frame.layer = layer;
  frame.rateIndex = rateIndex;
  return frame;
}

bool SameStream(const MpegFrame& a, const MpegFrame& b) {
  return a.version == b.version && a.layer == b.layer && a.rateIndex == b.rateIndex;
}

// Whether `count` frames of one stream follow one another from `at`, each where
// the one before says it ends. The bytes may end first only for a layer III
// stream that begins them: an MP3 shorter than its frames. Layers I and II are
// rare enough not to need that, and the byte order mark FF FE that begins a
// UTF-16 text reads as a layer I header.
bool FramesFollow(std::span<const uint8_t> head, size_t at, int count) {
  const bool atStart = at == 0;
  const MpegFrame first = ParseMpegHeader(head.data() + at);
  if (first.bytes == 0) return false;
  MpegFrame frame = first;
  for (int n = 1; n < count; ++n) {
    at += frame.bytes;
    if (at + 4 > head.size()) return atStart && first.layer == 1;
    frame = ParseMpegHeader(head.data() + at);
    if (frame.bytes == 0 || !SameStream(first, frame)) return false;
  }
  return true;
}

// MPEG audio has no signature: a stream shows as frames that follow one another.
// Junk in front of the first frame is common, so the start is searched; but a
// sync pattern alone is not rare in other bytes, so a stream found past the
// start needs three frames in a row.
bool IsMpegAudio(std::span<const uint8_t> head) {
  if (head.size() < 4) return false;
  if (FramesFollow(head, 0, 2)) return true;
  for (size_t at = 1; at + 4 <= head.size(); ++at) {
    if (FramesFollow(head, at, 3)) return true;
  }
  return false;
}

}  // namespace

uint64_t Id3v2TagBytes(std::span<const uint8_t> head) {
  constexpr uint64_t kHeader = 10;
  if (head.size() < kHeader || !HasAt(head, 0, "ID3") || head[3] == 0xFF || head[4] == 0xFF) {
    return 0;
  }
  uint64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (head[i] & 0x80) return 0;  // sizes are "syncsafe": seven bits a byte
    size = size << 7 | head[i];
  }
  const bool footer = head[5] & 0x10;
  return kHeader + size + (footer ? kHeader : 0);
}

SoundKind KindBehindTag(std::span<const uint8_t> afterTag) {
  // Tags may follow one another; FLAC files are sometimes tagged this way too.
  for (uint64_t tag = Id3v2TagBytes(afterTag); tag != 0; tag = Id3v2TagBytes(afterTag)) {
    if (tag >= afterTag.size()) return SoundKind::Mp3;
    afterTag = afterTag.subspan(tag);
  }
  return HasAt(afterTag, 0, "fLaC") ? SoundKind::Flac : SoundKind::Mp3;
}

SoundKind SniffSound(std::span<const uint8_t> head) {
  if (Id3v2TagBytes(head) != 0) return KindBehindTag(head);
  if (HasAt(head, 8, "WAVE") &&
      (HasAt(head, 0, "RIFF") || HasAt(head, 0, "RIFX") || HasAt(head, 0, "RF64"))) {
    return SoundKind::Wav;
  }
  if (HasAt(head, 0, "FORM") && (HasAt(head, 8, "AIFF") || HasAt(head, 8, "AIFC"))) {
    return SoundKind::Aiff;
  }
  // Version 1 is the only one there has been.
  if (HasAt(head, 0, "caff") && HasAt(head, 4, std::string_view("\0\1", 2))) return SoundKind::Caf;
  if (HasAt(head, 0, "fLaC")) return SoundKind::Flac;
  if (HasAt(head, 0, "OggS")) return OggKind(head);
  return IsMpegAudio(head) ? SoundKind::Mp3 : SoundKind::Unknown;
}
