#include "codecs/ffmpeg_import.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include "base/file_handle.h"
#include "codecs/convert.h"
#include "codecs/diagnostics.h"
#include "codecs/imported_audio.h"
#include "codecs/wav.h"

namespace {

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

void QuietUnlessDebugging() {
  static const bool set = [] {
    av_log_set_level(DiagnosticsWanted() ? AV_LOG_INFO : AV_LOG_QUIET);
    return true;
  }();
  (void)set;
}

// The file as FFmpeg sees it: read through our handle only, never opened by a
// name FFmpeg would resolve itself (a protocol, or a file a playlist inside names).
// A demuxer that a hostile file leads round in circles runs out of bytes to read:
// the budget is a few passes over the file.
struct FileSource {
  FileHandle file;
  int64_t size = 0;
  int64_t position = 0;
  int64_t budget = 0;
};

constexpr int kIoBufferBytes = 64 * 1024;

int ReadSource(void* opaque, uint8_t* buffer, int size) {
  FileSource& source = *static_cast<FileSource*>(opaque);
  if (source.budget <= 0) return AVERROR_EXIT;
  const size_t got = source.file.ReadAt(source.position, {buffer, static_cast<size_t>(size)});
  if (got == 0) return AVERROR_EOF;
  source.position += static_cast<int64_t>(got);
  source.budget -= static_cast<int64_t>(got);
  return static_cast<int>(got);
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
  FileSource& source = *static_cast<FileSource*>(opaque);
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return source.size;
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = source.position;
      break;
    case SEEK_END:
      base = source.size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  int64_t to = 0;
  if (__builtin_add_overflow(base, offset, &to) || to < 0) return AVERROR(EINVAL);
  source.position = to;
  return to;
}

int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

struct IoFree {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);  // FFmpeg may have replaced the one we gave
    avio_context_free(&io);
  }
};
struct FormatClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

ChannelSide SideOf(AVChannel channel) {
  switch (channel) {
    case AV_CHAN_FRONT_LEFT:
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_FRONT_LEFT_OF_CENTER:
    case AV_CHAN_SIDE_LEFT:
    case AV_CHAN_TOP_FRONT_LEFT:
    case AV_CHAN_TOP_BACK_LEFT:
    case AV_CHAN_STEREO_LEFT:
    case AV_CHAN_WIDE_LEFT:
    case AV_CHAN_SURROUND_DIRECT_LEFT:
    case AV_CHAN_TOP_SIDE_LEFT:
    case AV_CHAN_BOTTOM_FRONT_LEFT:
      return ChannelSide::Left;
    case AV_CHAN_FRONT_RIGHT:
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_FRONT_RIGHT_OF_CENTER:
    case AV_CHAN_SIDE_RIGHT:
    case AV_CHAN_TOP_FRONT_RIGHT:
    case AV_CHAN_TOP_BACK_RIGHT:
    case AV_CHAN_STEREO_RIGHT:
    case AV_CHAN_WIDE_RIGHT:
    case AV_CHAN_SURROUND_DIRECT_RIGHT:
    case AV_CHAN_TOP_SIDE_RIGHT:
    case AV_CHAN_BOTTOM_FRONT_RIGHT:
      return ChannelSide::Right;
    default:
      return ChannelSide::Both;
  }
}

template <typename T, typename Convert>
void Interleave(const AVFrame& frame, bool planar, int16_t* out, Convert convert) {
  const int channels = frame.ch_layout.nb_channels;
  if (!planar) {
    const T* in = reinterpret_cast<const T*>(frame.extended_data[0]);
    const size_t n = static_cast<size_t>(frame.nb_samples) * static_cast<size_t>(channels);
    for (size_t i = 0; i < n; ++i) out[i] = convert(in[i]);
    return;
  }
  for (int c = 0; c < channels; ++c) {
    const T* in = reinterpret_cast<const T*>(frame.extended_data[c]);
    for (int f = 0; f < frame.nb_samples; ++f) out[f * channels + c] = convert(in[f]);
  }
}

// One frame's samples, interleaved at 16 bits on the float scale libsndfile's
// reads use, so a source read by either lands alike. False for a sample format
// we do not know.
bool ToSixteenBits(const AVFrame& frame, int16_t* out) {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
      Interleave<uint8_t>(frame, planar, out,
                          [](uint8_t v) { return static_cast<int16_t>((v - 128) * 256); });
      return true;
    case AV_SAMPLE_FMT_S16:
      Interleave<int16_t>(frame, planar, out, [](int16_t v) { return v; });
      return true;
    case AV_SAMPLE_FMT_S32:
      Interleave<int32_t>(frame, planar, out, [](int32_t v) {
        return FloatToSixteenBits(static_cast<float>(v) / 2147483648.f);
      });
      return true;
    case AV_SAMPLE_FMT_S64:
      Interleave<int64_t>(frame, planar, out, [](int64_t v) {
        return FloatToSixteenBits(static_cast<float>(static_cast<double>(v) / 0x1p63));
      });
      return true;
    case AV_SAMPLE_FMT_FLT:
      Interleave<float>(frame, planar, out, FloatToSixteenBits);
      return true;
    case AV_SAMPLE_FMT_DBL:
      Interleave<double>(frame, planar, out,
                         [](double v) { return FloatToSixteenBits(static_cast<float>(v)); });
      return true;
    default:
      return false;
  }
}

// The decoder's frames on their way into the converter. A stream may change its
// rate or layout on the way (HE-AAC, a chained stream): the converter follows.
class FrameSink {
 public:
  FrameSink(AVCodecContext* decoder, StereoConverter& converter)
      : decoder_(decoder), converter_(converter), frame_(av_frame_alloc()) {}
  ~FrameSink() { av_channel_layout_uninit(&layout_); }
  FrameSink(const FrameSink&) = delete;
  FrameSink& operator=(const FrameSink&) = delete;

  // Hands a packet (null at the end, to drain the decoder) over and converts every
  // frame that comes out. A damaged packet is passed over, as players do.
  void Send(const AVPacket* packet) {
    if (stopped_) return;
    const int sent = avcodec_send_packet(decoder_, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) error_ = sent;
    while (!stopped_ && !converter_.Full()) {
      const int got = avcodec_receive_frame(decoder_, frame_.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
      if (got < 0) {
        error_ = got;
        return;
      }
      Take(*frame_);
      av_frame_unref(frame_.get());
    }
  }

  int64_t frames() const { return frames_; }
  bool stopped() const { return stopped_; }
  // Why nothing came out, when nothing did.
  std::string Reason() const {
    if (!why_.empty()) return why_;
    return error_ < 0 ? ErrorText(error_) : "no audio could be decoded";
  }

 private:
  void Take(const AVFrame& frame) {
    const int channels = frame.ch_layout.nb_channels;
    if (frame.nb_samples <= 0 || channels <= 0) return;
    if (frame.sample_rate != rate_ || av_channel_layout_compare(&frame.ch_layout, &layout_) != 0) {
      if (!Reformat(frame)) return;
    }
    samples_.resize(static_cast<size_t>(frame.nb_samples) * static_cast<size_t>(channels));
    if (!ToSixteenBits(frame, samples_.data())) {
      Stop("the samples are in a form that cannot be converted");
      return;
    }
    converter_.Write(samples_);
    frames_ += frame.nb_samples;
  }

  bool Reformat(const AVFrame& frame) {
    av_channel_layout_uninit(&layout_);
    if (av_channel_layout_copy(&layout_, &frame.ch_layout) < 0) {
      Stop(ErrorText(AVERROR(ENOMEM)));
      return false;
    }
    rate_ = frame.sample_rate;
    const int channels = frame.ch_layout.nb_channels;
    std::vector<ChannelSide> sides;
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_NATIVE ||
        frame.ch_layout.order == AV_CHANNEL_ORDER_CUSTOM) {
      for (int c = 0; c < channels; ++c) {
        sides.push_back(SideOf(av_channel_layout_channel_from_index(&frame.ch_layout, c)));
      }
    }
    if (!converter_.SetFormat(channels, rate_, sides)) {
      Stop("its rate or channels cannot be converted");
      return false;
    }
    return true;
  }

  void Stop(std::string why) {
    stopped_ = true;
    why_ = std::move(why);
  }

  AVCodecContext* decoder_;
  StereoConverter& converter_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  AVChannelLayout layout_{};
  int rate_ = 0;
  std::vector<int16_t> samples_;
  int64_t frames_ = 0;
  int error_ = 0;
  bool stopped_ = false;
  std::string why_;
};

// The first audio stream, the others left unread (a video's pictures are never
// demuxed); null when there is none.
AVStream* FirstAudioStream(AVFormatContext& format) {
  AVStream* audio = nullptr;
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    AVStream* stream = format.streams[i];
    if (audio == nullptr && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      audio = stream;
    } else {
      stream->discard = AVDISCARD_ALL;
    }
  }
  return audio;
}

}  // namespace

size_t DecodeWithFfmpeg(const std::string& path, std::span<uint8_t> output, std::string* why) {
  QuietUnlessDebugging();
  why->clear();
  FileSource source;
  source.file = FileHandle::Open(path, O_RDONLY);
  if (!source.file.IsOpen()) {
    *why = std::strerror(errno);
    return 0;
  }
  source.size = std::max<int64_t>(source.file.Size(), 0);
  source.budget = 4 * source.size + (16 << 20);

  auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  if (ioBuffer == nullptr) {
    *why = ErrorText(AVERROR(ENOMEM));
    return 0;
  }
  const std::unique_ptr<AVIOContext, IoFree> io(
      avio_alloc_context(ioBuffer, kIoBufferBytes, 0, &source, ReadSource, nullptr, SeekSource));
  AVFormatContext* opening = io ? avformat_alloc_context() : nullptr;
  if (opening == nullptr) {
    if (!io) av_free(ioBuffer);
    *why = ErrorText(AVERROR(ENOMEM));
    return 0;
  }
  opening->pb = io.get();
  opening->io_open = RefuseOpen;
  // Told by content alone, as every other reader tells its files.
  if (const int error = avformat_open_input(&opening, "", nullptr, nullptr); error < 0) {
    *why = ErrorText(error);  // the context is freed by the failed open
    return 0;
  }
  const std::unique_ptr<AVFormatContext, FormatClose> format(opening);
  if (const int error = avformat_find_stream_info(format.get(), nullptr); error < 0) {
    *why = ErrorText(error);
    return 0;
  }
  AVStream* stream = FirstAudioStream(*format);
  if (stream == nullptr) {
    *why = "no audio stream";
    return 0;
  }
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) {
    *why = std::string("no decoder for ") + avcodec_get_name(stream->codecpar->codec_id);
    return 0;
  }
  const std::unique_ptr<AVCodecContext, CodecFree> decoder(avcodec_alloc_context3(codec));
  const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  if (!decoder || !packet) {
    *why = ErrorText(AVERROR(ENOMEM));
    return 0;
  }
  int error = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = 1;
  if (error >= 0) error = avcodec_open2(decoder.get(), codec, nullptr);
  if (error < 0) {
    *why = ErrorText(error);
    return 0;
  }

  StereoConverter converter(output);
  FrameSink sink(decoder.get(), converter);
  // Every packet holds at least a byte of the file, so a demuxer that makes
  // packets out of nothing stops here.
  int64_t packetsLeft = source.size + 1024;
  while (!converter.Full() && !sink.stopped() && packetsLeft-- > 0) {
    if (av_read_frame(format.get(), packet.get()) < 0) break;
    if (packet->stream_index == stream->index) sink.Send(packet.get());
    av_packet_unref(packet.get());
  }
  sink.Send(nullptr);
  converter.Finish();
  // A stream that breaks off (or changes to a shape we cannot convert) keeps
  // what came before, as a damaged file of any other kind does.
  if (sink.frames() == 0) {
    *why = sink.Reason();
    return 0;
  }
  return converter.Produced();
}

int LoadWithFfmpeg(Track& track, const std::string& path, std::string_view routine,
                   std::string_view refusal) {
  uint8_t* pcm = song.workBuffer.get() + kWavHeaderBytes;
  std::string why;
  const size_t length = DecodeWithFfmpeg(path, {pcm, static_cast<size_t>(TrackRegionBytes)}, &why);
  if (!why.empty()) {
    ReportImportFailure(routine, refusal, path, why);
    return 0;
  }
  return StoreImportedAudio(track, pcm, static_cast<int32_t>(length), path, 0);
}
