#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/buffer.h"
#include "codecs/encoders.h"
#include "codecs/file_io.h"
#include "platform/platform.h"

namespace {

// libsndfile writes FLAC through these: into memory, where it may go back to fill
// in the stream's summary at the end.
struct MemoryFile {
  uint8_t* data = nullptr;
  sf_count_t capacity = 0;
  sf_count_t length = 0;
  sf_count_t position = 0;
  bool overflow = false;
};

sf_count_t Length(void* user) {
  return static_cast<MemoryFile*>(user)->length;
}

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
  MemoryFile& f = *static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_CUR ? f.position : whence == SEEK_END ? f.length : 0;
  const sf_count_t to = base + offset;
  if (to < 0 || to > f.capacity) return -1;
  f.position = to;
  return to;
}

sf_count_t Read(void* destination, sf_count_t count, void* user) {
  MemoryFile& f = *static_cast<MemoryFile*>(user);
  const sf_count_t take = std::clamp<sf_count_t>(f.length - f.position, 0, count);
  std::memcpy(destination, f.data + f.position, static_cast<size_t>(take));
  f.position += take;
  return take;
}

sf_count_t Write(const void* source, sf_count_t count, void* user) {
  MemoryFile& f = *static_cast<MemoryFile*>(user);
  const sf_count_t take = std::min(count, f.capacity - f.position);
  if (take < count) f.overflow = true;
  std::memcpy(f.data + f.position, source, static_cast<size_t>(take));
  f.position += take;
  f.length = std::max(f.length, f.position);
  return take;
}

sf_count_t Tell(void* user) {
  return static_cast<MemoryFile*>(user)->position;
}

struct SndfileClose {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

}  // namespace

int WriteFlacFile(const std::string& path, const uint8_t* pcm, uint32_t n) {
  static constexpr std::string_view kFailed = "WriteFlacFile - failed";
  // Audio FLAC cannot shrink is stored verbatim: a few bytes of headers per block
  // more than the samples themselves.
  MemoryFile memory;
  memory.capacity = sf_count_t{n} + n / 256 + 65536;
  Buffer output = TryAllocate(static_cast<size_t>(memory.capacity));
  if (!output) {
    platform().ShowMessage("WriteFlacFile: malloc failed", "Error");
    return 0;
  }
  memory.data = output.get();
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  {
    const std::unique_ptr<SNDFILE, SndfileClose> file(
        sf_open_virtual(&io, SFM_WRITE, &info, &memory));
    const sf_count_t frames = n / 4;
    if (!file ||
        sf_writef_short(file.get(), reinterpret_cast<const short*>(pcm), frames) != frames) {
      platform().ShowMessage(FailureText(kFailed, path, std::string_view(sf_strerror(file.get()))),
                             "Error");
      return 0;
    }
  }
  if (memory.overflow) {
    platform().ShowMessage(
        FailureText(kFailed, path, "the encoded audio came out larger than the room kept for it"),
        "Error");
    return 0;
  }
  int error = 0;
  if (!WriteWholeFile(path, {{output.get(), static_cast<size_t>(memory.length)}}, &error)) {
    platform().ShowMessage(FailureText(kFailed, path, error), "Error");
    return 0;
  }
  return 1;
}
