// Helpers every kind of test shares: bytes and files, a pattern in which a
// misplaced copy shows, the track regions of a song file, WAV files built by
// hand, a full disk on demand, a click track and where its bursts begin, and
// the outside tools.
#pragma once

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "song/song_header.h"
#include "song/song_state.h"

using Bytes = std::vector<uint8_t>;

// A new folder of the test's own under /tmp, with a trailing '/'; empty when it
// could not be made.
inline std::string MakeTempFolder(const std::string& kind) {
  std::string pattern = "/tmp/sonavel-" + kind + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern + "/";
}

// A pattern in which a shifted or misplaced copy shows.
inline Bytes Pattern(size_t count, uint32_t seed = 1) {
  Bytes b(count);
  uint32_t x = seed;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

inline bool AllZero(const Bytes& bytes) {
  for (uint8_t b : bytes) {
    if (b != 0) return false;
  }
  return true;
}

// -1 when there is no such file.
inline int64_t FileSize(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Up to count bytes from offset: fewer where the file ends.
// A count from the environment, for runs that scale a test (the sanitizer pass).
inline uint64_t FromEnvironment(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

inline Bytes ReadBytes(const std::filesystem::path& path, int64_t offset = 0,
                       size_t count = SIZE_MAX) {
  // Only the bytes asked for: a song file is hundreds of megabytes.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const int64_t size = in ? static_cast<int64_t>(in.tellg()) : 0;
  if (size <= offset) return {};
  Bytes out(std::min(count, static_cast<size_t>(size - offset)));
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<size_t>(in.gcount()));
  return out;
}

inline Bytes ReadFile(const std::filesystem::path& path) {
  return ReadBytes(path);
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Bytes [offset, offset + count) of track t's region in a song file; what lies
// past the file's end is the silence it stands for.
inline Bytes RegionOf(const std::filesystem::path& song, int t, int64_t offset, size_t count) {
  Bytes out = ReadBytes(song, SongHeaderBytes + int64_t{t - 1} * TrackRegionBytes + offset, count);
  out.resize(count, 0);
  return out;
}

// A RIFF/WAVE file with a 16-byte format chunk of any shape and the data chunk
// right behind it.
inline Bytes WavFile(int channels, int rate, int bits, const Bytes& data) {
  Bytes b(44 + data.size());
  std::memcpy(b.data(), "RIFF", 4);
  StoreU32(b.data() + 4, static_cast<uint32_t>(36 + data.size()));
  std::memcpy(b.data() + 8, "WAVEfmt ", 8);
  StoreU32(b.data() + 16, 16);
  StoreU16(b.data() + 20, 1);
  StoreU16(b.data() + 22, static_cast<uint16_t>(channels));
  StoreU32(b.data() + 24, static_cast<uint32_t>(rate));
  StoreU32(b.data() + 28, static_cast<uint32_t>(rate * channels * bits / 8));
  StoreU16(b.data() + 32, static_cast<uint16_t>(channels * bits / 8));
  StoreU16(b.data() + 34, static_cast<uint16_t>(bits));
  std::memcpy(b.data() + 36, "data", 4);
  StoreU32(b.data() + 40, static_cast<uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), b.begin() + 44);
  return b;
}

// One chunk of a RIFF file: its tag and body; an odd body gets its pad byte.
struct RiffChunk {
  std::string tag;
  Bytes body;
};

// A RIFF/WAVE file of the chunks in order.
inline Bytes RiffWave(const std::vector<RiffChunk>& chunks) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const RiffChunk& c : chunks) {
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, c.tag.data(), 4);
    StoreU32(b.data() + at + 4, static_cast<uint32_t>(c.body.size()));
    b.insert(b.end(), c.body.begin(), c.body.end());
    if (c.body.size() % 2 != 0) b.push_back(0);
  }
  StoreU32(b.data() + 4, static_cast<uint32_t>(b.size() - 8));
  return b;
}

// The body of a format chunk: the 16 bytes every one has, then `extra` (the
// 2-byte extra size of an 18-byte chunk, or the 24 bytes of the extensible one).
inline Bytes FormatBody(uint16_t tag, int channels, int rate, int bits, const Bytes& extra = {}) {
  Bytes b(16);
  StoreU16(b.data(), tag);
  StoreU16(b.data() + 2, static_cast<uint16_t>(channels));
  StoreU32(b.data() + 4, static_cast<uint32_t>(rate));
  StoreU32(b.data() + 8, static_cast<uint32_t>(rate * channels * bits / 8));
  StoreU16(b.data() + 12, static_cast<uint16_t>(channels * bits / 8));
  StoreU16(b.data() + 14, static_cast<uint16_t>(bits));
  b.insert(b.end(), extra.begin(), extra.end());
  return b;
}

// What the extensible format (tag 0xFFFE) adds: the valid bits, the speaker mask
// and the GUID of the samples' format (PCM unless told otherwise).
inline Bytes ExtensibleTail(int bits, uint16_t subformat = 1) {
  Bytes b = {22, 0, 0,    0, 3,    0, 0, 0,    0, 0,    0,    0,
             0,  0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  StoreU16(b.data() + 2, static_cast<uint16_t>(bits));
  StoreU16(b.data() + 8, subformat);
  return b;
}

// A WAV file in the tracks' own format (44,100 Hz, 16-bit, stereo) holding pcm.
inline std::string WriteTrackWav(const std::filesystem::path& path, const Bytes& pcm) {
  WriteFile(path, WavFile(2, 44100, 16, pcm));
  return path.string();
}

// Lets a test fill the disk: writes past `bytes` fail with EFBIG instead of
// killing the process. Both are restored when the guard ends.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = nullptr;
};

// A folder no one may write into, root included: while the guard lives, this
// thread gives up root's power to pass over file permissions (the rest of the
// process keeps it, and it comes back at the end).
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& path) : path_(path) {
    std::filesystem::create_directory(path);
    ::chmod(path.c_str(), 0555);
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    ::syscall(SYS_capset, &header_, lowered);
  }
  ~ReadOnlyFolder() {
    ::syscall(SYS_capset, &header_, saved_);
    ::chmod(path_.c_str(), 0755);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // A file inside.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// Sets an environment variable for the guard's life, then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// Every setting a song file keeps, then the first `bytes` of tracks 1 to `count`
// of the song at path: what an undo must bring back.
inline Bytes SongSnapshot(const std::filesystem::path& path, int count, size_t bytes) {
  const auto header = EncodeSongHeader();
  Bytes all(header.begin(), header.end());
  for (int t = 1; t <= count; ++t) {
    const Bytes audio = RegionOf(path, t, 0, bytes);
    all.insert(all.end(), audio.begin(), audio.end());
  }
  return all;
}

// Short loud bursts, four a second, in a track that is silent between them.
inline int16_t ClickSample(int64_t frame) {
  const int64_t at = frame % 11025;
  return at >= 1000 && at < 1020 ? static_cast<int16_t>(20000 - 900 * (at - 1000)) : 0;
}

// The frames (from byte `from`) where a burst begins in a stretch of stereo audio.
inline std::vector<int64_t> Onsets(const Bytes& audio, int32_t from) {
  std::vector<int64_t> onsets;
  int64_t quiet = 1000;
  for (size_t i = 0; i + 3 < audio.size(); i += 4) {
    const int v = LoadI16(audio.data() + i);
    if (v > 2000 || v < -2000) {
      if (quiet >= 1000) onsets.push_back((from + static_cast<int64_t>(i)) / 4);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return onsets;
}

inline int RunShell(const std::string& command) {
  return std::system(command.c_str());
}

inline bool HaveTool(const char* tool) {
  // Appended piece by piece: GCC 12 misreads a chain of + on a temporary string
  // as writing past it (-Warray-bounds) once GoogleTest comes precompiled.
  std::string command = "command -v ";
  command += tool;
  command += " >/dev/null 2>&1";
  return RunShell(command) == 0;
}
