#include "codecs/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/file_handle.h"
#include "codecs/convert.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/imported_audio.h"
#include "codecs/sniff.h"
#include "codecs/wav.h"

namespace {

struct SndfileClose {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SoundFile = std::unique_ptr<SNDFILE, SndfileClose>;

// Samples (all channels) taken per read: enough to keep the calls few, little
// enough to stay in the cache on the way to the converter.
constexpr sf_count_t kSamplesPerRead = 16384;

// libsndfile's messages may begin "Error : " and end with a full stop or a line
// break; ours say "Error" already and go on after them.
std::string Reason(const char* text) {
  std::string reason = text != nullptr ? text : "";
  static constexpr std::string_view kPrefix = "Error : ";
  if (reason.starts_with(kPrefix)) reason.erase(0, kPrefix.size());
  while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n')) reason.pop_back();
  return reason.empty() ? "the file could not be decoded" : reason;
}

// The file as libsndfile reads it, with the data size of a RIFF/WAVE file that
// states 0 shown as 0xFFFFFFFF: a recorder that stopped before it wrote the size
// leaves 0 with the audio behind it, and libsndfile would read nothing, while a
// stated 0xFFFFFFFF it reads to the end of the file.
struct StreamedWav {
  const FileHandle* file = nullptr;
  int64_t size = 0;
  int64_t position = 0;
  int64_t sizeAt = -1;  // where the data size lies; -1 when it is shown as it is
};

int64_t UnstatedDataSizeAt(const FileHandle& file) {
  std::vector<uint8_t> head(kSniffBytes);
  head.resize(file.ReadAt(0, head));
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 ||
      std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
    return -1;
  }
  const int64_t data = WalkWavChunks(head).data;
  if (data < 0 || data + 8 > static_cast<int64_t>(head.size()) ||
      LoadU32(head.data() + data + 4) != 0 || file.Size() <= data + 8) {
    return -1;
  }
  return data + 4;
}

SF_VIRTUAL_IO StreamedWavIo() {
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* user) -> sf_count_t { return static_cast<StreamedWav*>(user)->size; };
  io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
    auto& w = *static_cast<StreamedWav*>(user);
    const int64_t base = whence == SEEK_CUR ? w.position : whence == SEEK_END ? w.size : 0;
    w.position = std::max<int64_t>(0, base + offset);
    return w.position;
  };
  io.read = [](void* out, sf_count_t count, void* user) -> sf_count_t {
    auto& w = *static_cast<StreamedWav*>(user);
    const std::span<uint8_t> bytes(static_cast<uint8_t*>(out), static_cast<size_t>(count));
    const size_t got = w.file->ReadAt(w.position, bytes);
    for (int64_t i = std::max(w.sizeAt, w.position);
         i < std::min(w.sizeAt + 4, w.position + static_cast<int64_t>(got)); ++i) {
      bytes[static_cast<size_t>(i - w.position)] = 0xFF;
    }
    w.position += static_cast<int64_t>(got);
    return static_cast<sf_count_t>(got);
  };
  io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
  io.tell = [](void* user) -> sf_count_t { return static_cast<StreamedWav*>(user)->position; };
  return io;
}

// Reads every frame into the converter until the file ends or the output is full;
// returns the frames read. The length libsndfile reports is not trusted: ADPCM
// files give whole blocks, and a damaged file ends where it breaks.
//
// The samples are read as floats and made 16-bit here: libsndfile's own 16-bit
// reads scale floating-point files to almost nothing (unless told to normalise
// them to their peak, which changes their level) and let decoded Opus wrap round
// where it passes full scale, clipping switched on or not.
int64_t ReadAll(SNDFILE* file, int channels, StereoConverter& converter) {
  const sf_count_t frames = std::max<sf_count_t>(1, kSamplesPerRead / channels);
  const size_t count = static_cast<size_t>(frames * channels);
  std::vector<float> floats(count);
  std::vector<int16_t> samples(count);
  int64_t total = 0;
  while (!converter.Full()) {
    const sf_count_t got = sf_readf_float(file, floats.data(), frames);
    if (got <= 0) break;
    const size_t n = static_cast<size_t>(got * channels);
    for (size_t i = 0; i < n; ++i) samples[i] = FloatToSixteenBits(floats[i]);
    converter.Write({samples.data(), n});
    total += got;
  }
  converter.Finish();
  return total;
}

}  // namespace

size_t DecodeSoundFile(const std::string& path, std::span<uint8_t> output, std::string* why) {
  why->clear();
  const FileHandle handle = FileHandle::Open(path, O_RDONLY);
  if (!handle.IsOpen()) {
    *why = "the file is missing or cannot be read";
    return 0;
  }
  SF_INFO info{};
  StreamedWav streamed{&handle, handle.Size(), 0, UnstatedDataSizeAt(handle)};
  SF_VIRTUAL_IO io = StreamedWavIo();
  // The descriptor stays ours (close-on-exec, closed by the handle).
  const SoundFile file(streamed.sizeAt >= 0
                           ? sf_open_virtual(&io, SFM_READ, &info, &streamed)
                           : sf_open_fd(handle.Descriptor(), SFM_READ, &info, SF_FALSE));
  if (!file) {
    *why = Reason(sf_strerror(nullptr));
    return 0;
  }
  StereoConverter converter(output);
  if (!converter.SetFormat(info.channels, info.samplerate)) {
    *why = "its rate or channels cannot be converted";
    return 0;
  }
  const int64_t frames = ReadAll(file.get(), info.channels, converter);
  // A file that opened but broke off before its first frame gives nothing; one
  // that is merely empty gives an empty track, as an empty WAV does.
  if (frames == 0 && sf_error(file.get()) != SF_ERR_NO_ERROR) {
    *why = Reason(sf_strerror(file.get()));
  }
  return converter.Produced();
}

int LoadSoundFile(Track& track, const std::string& path) {
  uint8_t* pcm = song.workBuffer.get() + kWavHeaderBytes;
  std::string why;
  const size_t length = DecodeSoundFile(path, {pcm, static_cast<size_t>(TrackRegionBytes)}, &why);
  if (!why.empty()) return LoadWithFfmpeg(track, path, "LoadSoundFile", why);
  return StoreImportedAudio(track, pcm, static_cast<int32_t>(length), path, 0);
}
