#include "codecs/mp3.h"

#include <mpg123.h>

#include <memory>

#include "base/buffer.h"
#include "codecs/convert.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/file_io.h"
#include "codecs/wav.h"

namespace {

struct HandleDelete {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};
using Decoder = std::unique_ptr<mpg123_handle, HandleDelete>;

// A feed decoder that gives 16-bit samples whatever the file's rate and channels,
// and keeps the start-up delay and padding in the audio (the loop start of
// imported MP3s counts on that delay being there).
Decoder OpenFeedDecoder() {
  static const int initialised = mpg123_init();
  if (initialised != MPG123_OK) return nullptr;
  Decoder decoder(mpg123_new(nullptr, nullptr));
  if (!decoder) return nullptr;
  mpg123_handle* h = decoder.get();
  mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.);
  mpg123_format_none(h);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) {
    mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  if (mpg123_open_feed(h) != MPG123_OK) return nullptr;
  return decoder;
}

// Decodes the fed input into the converter until the input is used up, the stream
// ends or breaks off, or the output is full.
void DecodeFed(mpg123_handle* decoder, StereoConverter& converter) {
  int16_t samples[4096];
  while (!converter.Full()) {
    size_t done = 0;
    const int code =
        mpg123_read(decoder, reinterpret_cast<unsigned char*>(samples), sizeof samples, &done);
    if (code == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0;
      int encoding = 0;
      mpg123_getformat(decoder, &rate, &channels, &encoding);
      if (encoding != MPG123_ENC_SIGNED_16 || !converter.SetFormat(channels, rate)) return;
      continue;
    }
    converter.Write({samples, done / sizeof(int16_t)});
    if (code != MPG123_OK || done == 0) return;
  }
}

}  // namespace

int32_t DecodeMp3Lib(const std::string& path, uint8_t* destination, int32_t capacity,
                     DecodeStatus* status) {
  auto finish = [status](DecodeStatus result, size_t bytes) {
    if (status != nullptr) *status = result;
    return static_cast<int32_t>(bytes);
  };
  Buffer image = TryAllocate(kMp3ImageBytes);
  if (!image) return finish(DecodeStatus::NoMemory, 0);
  const FileRead read = ReadFileStart(path, {image.get(), size_t{kMp3ImageBytes}});
  if (!read.opened) return finish(DecodeStatus::MissingFile, 0);
  const Decoder decoder = OpenFeedDecoder();
  if (!decoder) return finish(DecodeStatus::NoMemory, 0);
  if (read.bytes == 0 || mpg123_feed(decoder.get(), image.get(), read.bytes) != MPG123_OK) {
    return finish(DecodeStatus::Undecodable, 0);
  }
  image.reset();  // the decoder keeps its own copy of the input

  StereoConverter converter({destination, static_cast<size_t>(capacity)});
  DecodeFed(decoder.get(), converter);
  converter.Finish();
  const size_t total = converter.Produced();
  return finish(total > 0 ? DecodeStatus::Ok : DecodeStatus::Undecodable, total);
}

int LoadMp3(Track& track, const std::string& path) {
  uint8_t* pcm = song.workBuffer.get() + kWavHeaderBytes;
  DecodeStatus status = DecodeStatus::Ok;
  const int32_t length = DecodeMp3Lib(path, pcm, TrackRegionBytes, &status);
  if (status == DecodeStatus::Undecodable) {
    return LoadWithFfmpeg(track, path, "LoadMp3", "no audio could be decoded");
  }
  if (status != DecodeStatus::Ok) {
    ReportDecodeFailure("LoadMp3", status, path);
    return 0;
  }
  return StoreImportedAudio(track, pcm, length, path, kMp3LoopStart);
}

int RegisterMp3Decoder() {
  return 0;
}
