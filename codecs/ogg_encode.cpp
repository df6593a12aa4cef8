#include <vorbis/vorbisenc.h>

#include <cstdlib>
#include <ctime>

#include "base/bytes.h"
#include "codecs/diagnostics.h"
#include "codecs/memory_io.h"
#include "codecs/ogg.h"

namespace {

constexpr int kChannels = 2;
constexpr long kRate = 44100;
constexpr float kQuality = 0.4f;
constexpr int kFramesPerChunk = 1024;

// Steps past the WAV header the way the classic encoder does: pairs of bytes
// until "da", then the rest of the "data" tag and its size. The canonical header
// is consumed exactly.
void SkipWavHeader(MemoryInput& in) {
  for (int i = 0; i < 30; ++i) {
    char pair[2] = {};
    if (in.Read(pair, 2) < 2) return;
    if (pair[0] == 'd' && pair[1] == 'a') {
      char rest[6];
      in.Read(rest, sizeof rest);
      return;
    }
  }
}

void WritePage(MemoryOutput& out, const ogg_page& page) {
  out.Write(page.header, static_cast<size_t>(page.header_len));
  out.Write(page.body, static_cast<size_t>(page.body_len));
}

// All the coder's states, cleared together whichever way the encoding ends.
struct EncoderStates {
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};
  bool analysing = false;

  EncoderStates() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~EncoderStates() {
    if (analysing) {
      ogg_stream_clear(&stream);
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  EncoderStates(const EncoderStates&) = delete;
  EncoderStates& operator=(const EncoderStates&) = delete;
};

}  // namespace

int32_t EncodeVorbis(PcmFeed& feed, std::span<uint8_t> output, bool* overflow) {
  MemoryOutput out{output};

  EncoderStates s;
  if (vorbis_encode_init_vbr(&s.info, kChannels, kRate, kQuality) != 0) {
    Diagnose("Vorbis encoder could not be set up.\n");
    return 0;
  }
  vorbis_comment_add_tag(&s.comment, "ENCODER", "encoder_example.c");
  vorbis_analysis_init(&s.dsp, &s.info);
  vorbis_block_init(&s.dsp, &s.block);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  ogg_stream_init(&s.stream, std::rand() & 0x7FFF);
  s.analysing = true;

  ogg_packet identification, comments, setup;
  vorbis_analysis_headerout(&s.dsp, &s.comment, &identification, &comments, &setup);
  ogg_stream_packetin(&s.stream, &identification);
  ogg_stream_packetin(&s.stream, &comments);
  ogg_stream_packetin(&s.stream, &setup);
  ogg_page page;
  // The audio starts on a page of its own.
  while (ogg_stream_flush(&s.stream, &page) != 0) WritePage(out, page);

  bool inputEnded = false;
  bool streamEnded = false;
  while (!streamEnded) {
    if (!inputEnded) {
      // Always whole chunks but the last, however the feed hands the bytes over,
      // so the stream is the same whether the mix was ready or still arriving.
      float** buffer = vorbis_analysis_buffer(&s.dsp, kFramesPerChunk);
      int frames = 0;
      for (std::span<const uint8_t> pcm;
           frames < kFramesPerChunk &&
           !(pcm = feed.Take(static_cast<uint32_t>(kFramesPerChunk - frames) * 4)).empty();) {
        for (size_t b = 0; b < pcm.size(); b += 4, ++frames) {
          buffer[0][frames] = LoadI16(pcm.data() + b) / 32768.f;
          buffer[1][frames] = LoadI16(pcm.data() + b + 2) / 32768.f;
        }
      }
      inputEnded = frames == 0;
      vorbis_analysis_wrote(&s.dsp, frames);
    }
    while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
      vorbis_analysis(&s.block, nullptr);
      vorbis_bitrate_addblock(&s.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&s.dsp, &packet) != 0) {
        ogg_stream_packetin(&s.stream, &packet);
        while (!streamEnded && ogg_stream_pageout(&s.stream, &page) != 0) {
          WritePage(out, page);
          if (ogg_page_eos(&page)) streamEnded = true;
        }
      }
    }
  }
  Diagnose("Done.\n");
  if (overflow != nullptr) *overflow = out.overflow;
  return static_cast<int32_t>(out.position);
}

int32_t EncodeWavImage(std::span<const uint8_t> input, std::span<uint8_t> output, bool* overflow) {
  MemoryInput in{input};
  SkipWavHeader(in);
  PcmFeed feed(input.data() + in.position, static_cast<uint32_t>(input.size() - in.position));
  return EncodeVorbis(feed, output, overflow);
}
