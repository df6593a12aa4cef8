#include <vorbis/codec.h>

#include "codecs/convert.h"
#include "codecs/diagnostics.h"
#include "codecs/memory_io.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"

namespace {

constexpr size_t kInputStep = 4096;
constexpr size_t kSamplesPerChunk = 4096;

// Moves the next step of the input into the sync state; returns the bytes moved.
size_t FeedSync(ogg_sync_state& sync, MemoryInput& input) {
  char* buffer = ogg_sync_buffer(&sync, kInputStep);
  if (buffer == nullptr) return 0;
  const size_t got = input.Read(buffer, kInputStep);
  ogg_sync_wrote(&sync, static_cast<long>(got));
  return got;
}

// Float samples to 16 bits as the stream's own decoder example does: truncated
// toward zero, then limited. Returns true when a sample had to be limited.
bool ToSixteenBits(float** pcm, int channels, int frames, int16_t* out) {
  bool clipped = false;
  for (int c = 0; c < channels; ++c) {
    const float* in = pcm[c];
    for (int f = 0; f < frames; ++f) {
      const float x = in[f] * 32767.f;
      int v = 0;
      if (x >= 32768.f) {
        v = 32767;
        clipped = true;
      } else if (x <= -32769.f) {
        v = -32768;
        clipped = true;
      } else if (x == x) {  // a NaN from a damaged packet becomes silence
        v = static_cast<int>(x);
      }
      out[f * channels + c] = static_cast<int16_t>(v);
    }
  }
  return clipped;
}

// One logical stream: its three headers, then its audio up to the end-of-stream
// page. Returns 0 when the stream was read to its end, else the error number.
class StreamDecoder {
 public:
  StreamDecoder(ogg_sync_state& sync, MemoryInput& input, StereoConverter& converter)
      : sync_(sync), input_(input), converter_(converter) {
    vorbis_info_init(&info_);
    vorbis_comment_init(&comment_);
  }
  ~StreamDecoder() {
    if (streamStarted_) ogg_stream_clear(&stream_);
    vorbis_comment_clear(&comment_);
    vorbis_info_clear(&info_);
  }
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  int Run(ogg_page& first);
  bool ended() const { return ended_; }

 private:
  int ReadHeaders(ogg_page& first);
  void DecodeAudio();
  void TakePcm(vorbis_dsp_state& dsp);

  ogg_sync_state& sync_;
  MemoryInput& input_;
  StereoConverter& converter_;
  ogg_stream_state stream_{};
  bool streamStarted_ = false;
  vorbis_info info_{};
  vorbis_comment comment_{};
  bool ended_ = false;  // the end-of-stream page was met
  int16_t chunk_[kSamplesPerChunk] = {};
};

int StreamDecoder::ReadHeaders(ogg_page& first) {
  ogg_stream_init(&stream_, ogg_page_serialno(&first));
  streamStarted_ = true;
  ogg_packet packet;
  if (ogg_stream_pagein(&stream_, &first) < 0) {
    Diagnose("Error reading first page of Ogg bitstream data.\n");
    return 2;
  }
  if (ogg_stream_packetout(&stream_, &packet) != 1) {
    Diagnose("Error reading initial header packet.\n");
    return 3;
  }
  if (vorbis_synthesis_headerin(&info_, &comment_, &packet) < 0) {
    Diagnose("This Ogg bitstream does not contain Vorbis audio data.\n");
    return 4;
  }
  int headers = 1;
  while (headers < 3) {
    ogg_page page;
    while (headers < 3 && ogg_sync_pageout(&sync_, &page) == 1) {
      ogg_stream_pagein(&stream_, &page);  // pages of other streams are ignored
      while (headers < 3) {
        const int got = ogg_stream_packetout(&stream_, &packet);
        if (got == 0) break;
        if (got < 0 || vorbis_synthesis_headerin(&info_, &comment_, &packet) < 0) {
          Diagnose("Corrupt secondary header.  Exiting.\n");
          return 5;
        }
        ++headers;
      }
    }
    if (headers < 3 && FeedSync(sync_, input_) == 0) {
      Diagnose("End of file before finding all Vorbis headers!\n");
      return 6;
    }
  }
  return 0;
}

void StreamDecoder::TakePcm(vorbis_dsp_state& dsp) {
  const int channels = info_.channels;
  const int framesPerChunk = static_cast<int>(kSamplesPerChunk) / channels;
  float** pcm = nullptr;
  int frames = 0;
  while ((frames = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
    const int take = frames < framesPerChunk ? frames : framesPerChunk;
    if (ToSixteenBits(pcm, channels, take, chunk_)) {
      Diagnose("Clipping in frame %ld\n", static_cast<long>(dsp.sequence));
    }
    converter_.Write({chunk_, static_cast<size_t>(take * channels)});
    vorbis_synthesis_read(&dsp, take);
  }
}

void StreamDecoder::DecodeAudio() {
  vorbis_dsp_state dsp;
  if (vorbis_synthesis_init(&dsp, &info_) != 0) {
    Diagnose("Error: Corrupt header during playback initialization.\n");
    return;
  }
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  while (!ended_ && !converter_.Full()) {
    ogg_page page;
    const int cut = ogg_sync_pageout(&sync_, &page);
    if (cut == 0) {
      // A stream cut off before its last page keeps what it gave.
      if (FeedSync(sync_, input_) == 0) break;
      continue;
    }
    if (cut < 0) {
      Diagnose("Corrupt or missing data in bitstream; continuing...\n");
      continue;
    }
    ogg_stream_pagein(&stream_, &page);
    ogg_packet packet;
    int got = 0;
    while ((got = ogg_stream_packetout(&stream_, &packet)) != 0) {
      if (got < 0) continue;  // a gap: already reported by the page cut
      if (vorbis_synthesis(&block, &packet) == 0) vorbis_synthesis_blockin(&dsp, &block);
      TakePcm(dsp);
    }
    if (ogg_page_eos(&page)) ended_ = true;
  }
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
}

int StreamDecoder::Run(ogg_page& first) {
  if (const int error = ReadHeaders(first); error != 0) return error;
  for (char** line = comment_.user_comments; line != nullptr && *line != nullptr; ++line) {
    Diagnose("%s\n", *line);
  }
  Diagnose("\nBitstream is %d channel, %ldHz\n", info_.channels, info_.rate);
  Diagnose("Encoded by: %s\n\n", comment_.vendor != nullptr ? comment_.vendor : "");
  if (!converter_.SetFormat(info_.channels, info_.rate)) {
    Diagnose("Unsupported channel count or sample rate.\n");
    return 7;
  }
  DecodeAudio();
  return 0;
}

}  // namespace

int32_t DecodeOggImage(std::span<const uint8_t> input, std::span<uint8_t> output,
                       DecodeStatus* status) {
  if (output.size() < kWavHeaderBytes) {
    if (status != nullptr) *status = DecodeStatus::Undecodable;
    return 0;
  }
  StereoConverter converter(output.subspan(kWavHeaderBytes));
  MemoryInput in{input};
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  bool anyStream = false;
  bool allEnded = true;
  int error = 0;
  while (!converter.Full()) {
    const size_t got = FeedSync(sync, in);
    ogg_page first;
    if (ogg_sync_pageout(&sync, &first) != 1) {
      if (got < kInputStep && anyStream) break;  // the input is used up
      Diagnose("Input does not appear to be an Ogg bitstream.\n");
      error = 1;
      break;
    }
    anyStream = true;
    StreamDecoder stream(sync, in, converter);
    error = stream.Run(first);
    if (error != 0) break;
    if (!stream.ended()) {
      allEnded = false;
      break;
    }
  }
  converter.Finish();
  ogg_sync_clear(&sync);
  Diagnose("Done.\n");

  const size_t produced = converter.Produced();
  BuildWavHeader(output.data(), static_cast<uint32_t>(produced));
  if (status != nullptr) {
    const bool wellFormed = anyStream && allEnded && error == 0;
    *status = produced > 0 || wellFormed ? DecodeStatus::Ok : DecodeStatus::Undecodable;
  }
  return static_cast<int32_t>(produced + kWavHeaderBytes);
}
