#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/buffer.h"
#include "codecs/encoders.h"

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

// What libsndfile is handed at a time: a second of the mix.
constexpr uint32_t kChunkBytes = 176400;

struct SndfileClose {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

}  // namespace

Encoded EncodeFlac(PcmFeed& feed, uint32_t most) {
  Encoded encoded;
  // Audio FLAC cannot shrink is stored verbatim: a few bytes of headers per block
  // more than the samples themselves.
  MemoryFile memory;
  memory.capacity = sf_count_t{most} + most / 256 + 65536;
  encoded.bytes = TryAllocate(static_cast<size_t>(memory.capacity));
  if (!encoded.bytes) {
    encoded.message = "WriteFlacFile: malloc failed";
    return encoded;
  }
  memory.data = encoded.bytes.get();
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  {
    const std::unique_ptr<SNDFILE, SndfileClose> file(
        sf_open_virtual(&io, SFM_WRITE, &info, &memory));
    if (!file) {
      encoded.reason = sf_strerror(nullptr);
      return encoded;
    }
    for (std::span<const uint8_t> pcm; !(pcm = feed.Take(kChunkBytes)).empty();) {
      const sf_count_t frames = static_cast<sf_count_t>(pcm.size() / 4);
      if (sf_writef_short(file.get(), reinterpret_cast<const short*>(pcm.data()), frames) !=
          frames) {
        encoded.reason = sf_strerror(file.get());
        return encoded;
      }
    }
  }
  if (memory.overflow) {
    encoded.reason = "the encoded audio came out larger than the room kept for it";
    return encoded;
  }
  encoded.length = static_cast<size_t>(memory.length);
  return encoded;
}

int WriteFlacFile(const std::string& path, const uint8_t* pcm, uint32_t n) {
  PcmFeed feed(pcm, n);
  return SaveEncoded(path, "WriteFlacFile - failed", EncodeFlac(feed, n));
}
