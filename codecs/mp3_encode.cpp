#include <lame.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "base/buffer.h"
#include "codecs/encoders.h"

namespace {

struct LameClose {
  void operator()(lame_global_flags* lame) const { lame_close(lame); }
};

// Frames handed to the encoder at a time.
constexpr size_t kChunkFrames = 1152 * 32;

// The title as ID3 text beyond Latin-1 is stored: UTF-16 behind a byte-order
// mark. A byte that begins no valid UTF-8 sequence (a file name in another
// encoding) becomes U+FFFD. Ends with a NUL.
std::vector<unsigned short> Utf16Text(std::string_view utf8) {
  std::vector<unsigned short> out = {0xFEFF};
  static constexpr uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const int extra = lead < 0x80             ? 0
                      : (lead & 0xE0) == 0xC0 ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : -1;
    uint32_t code = 0xFFFD;
    size_t used = 1;
    if (extra >= 0 && i + static_cast<size_t>(extra) < utf8.size()) {
      uint32_t value = extra == 0 ? lead : lead & (0x3Fu >> extra);
      bool valid = true;
      for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
        valid = valid && (next & 0xC0) == 0x80;
        value = value << 6 | (next & 0x3F);
      }
      if (valid && value >= kLeast[extra] && value <= 0x10FFFF &&
          (value < 0xD800 || value > 0xDFFF)) {
        code = value;
        used = 1 + static_cast<size_t>(extra);
      }
    }
    if (code >= 0x10000) {
      out.push_back(static_cast<unsigned short>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<unsigned short>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<unsigned short>(code));
    }
    i += used;
  }
  out.push_back(0);
  return out;
}

void SetTitle(lame_global_flags* lame, std::string_view title) {
  id3tag_init(lame);
  id3tag_v2_only(lame);
  if (title.empty()) return;
  const bool ascii =
      std::all_of(title.begin(), title.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  if (ascii) {
    id3tag_set_title(lame, std::string(title).c_str());
  } else {
    id3tag_set_textinfo_utf16(lame, "TIT2", Utf16Text(title).data());
  }
}

int ClampToInt(size_t n) {
  return static_cast<int>(std::min<size_t>(n, INT_MAX));
}

}  // namespace

Encoded EncodeMp3(PcmFeed& feed, uint32_t most, std::string_view title) {
  Encoded encoded;
  auto fail = [&encoded](std::string_view reason) {
    encoded.reason = reason;
    return std::move(encoded);
  };
  const std::unique_ptr<lame_global_flags, LameClose> encoder(lame_init());
  lame_global_flags* lame = encoder.get();
  if (lame == nullptr) return fail("the encoder could not be set up");
  lame_set_in_samplerate(lame, 44100);
  lame_set_out_samplerate(lame, 44100);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_default);
  lame_set_VBR_quality(lame, 2.0f);
  lame_set_bWriteVbrTag(lame, 1);
  // The ID3v2 tag is placed by hand, so the LAME tag's frame is known to follow it.
  lame_set_write_id3tag_automatic(lame, 0);
  SetTitle(lame, title);
  if (lame_init_params(lame) < 0) return fail("the encoder could not be set up");

  const size_t tagBytes = lame_get_id3v2_tag(lame, nullptr, 0);
  const size_t frames = most / 4;
  // The encoder's own bound on what a stretch of audio may become.
  const size_t capacity = tagBytes + frames + frames / 4 + 7200;
  encoded.bytes = TryAllocate(capacity);
  if (!encoded.bytes) {
    encoded.message = "WriteMp3File: malloc failed";
    return encoded;
  }
  uint8_t* out = encoded.bytes.get();
  size_t length = lame_get_id3v2_tag(lame, out, tagBytes);
  std::vector<short> chunk(kChunkFrames * 2);
  for (std::span<const uint8_t> pcm; !(pcm = feed.Take(kChunkFrames * 4)).empty();) {
    const size_t take = pcm.size() / 4;
    std::memcpy(chunk.data(), pcm.data(), pcm.size());
    const int made = lame_encode_buffer_interleaved(lame, chunk.data(), static_cast<int>(take),
                                                    out + length, ClampToInt(capacity - length));
    if (made < 0) return fail("the encoder failed");
    length += static_cast<size_t>(made);
  }
  const int last = lame_encode_flush(lame, out + length, ClampToInt(capacity - length));
  if (last < 0) return fail("the encoder failed");
  length += static_cast<size_t>(last);
  // The encoder began the audio with an empty frame; the finished LAME tag (the
  // delay, the padding, the length) takes its place.
  uint8_t tagFrame[2880];
  const size_t tagFrameBytes = lame_get_lametag_frame(lame, tagFrame, sizeof tagFrame);
  if (tagFrameBytes > sizeof tagFrame || tagBytes + tagFrameBytes > length) {
    return fail("the encoder gave no LAME tag");
  }
  std::memcpy(out + tagBytes, tagFrame, tagFrameBytes);
  encoded.length = length;
  return encoded;
}

int WriteMp3File(const std::string& path, const uint8_t* pcm, uint32_t n, std::string_view title) {
  PcmFeed feed(pcm, n);
  return SaveEncoded(path, "WriteMp3File - failed", EncodeMp3(feed, n, title));
}
