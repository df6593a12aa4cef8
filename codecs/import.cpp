#include "codecs/import.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/file_handle.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/imported_audio.h"
#include "codecs/mp3.h"
#include "codecs/ogg.h"
#include "codecs/sniff.h"
#include "codecs/sound_file.h"
#include "codecs/wav.h"
#include "song/song_file.h"

namespace {

// The kind of the file and its first bytes, which hold the WAV format chunk the
// choice between a byte copy and a conversion rests on.
struct Sniffed {
  SoundKind kind = SoundKind::Unknown;
  std::vector<uint8_t> head;
};

Sniffed SniffFile(const FileHandle& file) {
  Sniffed sniffed;
  sniffed.head.resize(kSniffBytes);
  sniffed.head.resize(file.ReadAt(0, sniffed.head));
  sniffed.kind = SniffSound(sniffed.head);
  // A tag larger than the bytes read (a cover picture) is looked behind.
  const uint64_t tag = Id3v2TagBytes(sniffed.head);
  if (tag != 0 && tag >= sniffed.head.size()) {
    std::vector<uint8_t> behind(kSniffBytes);
    behind.resize(file.ReadAt(static_cast<int64_t>(tag), behind));
    sniffed.kind = KindBehindTag(behind);
  }
  return sniffed;
}

}  // namespace

int ImportFileTo(Track& track, const std::string& path) {
  static constexpr std::string_view kRoutine = "ImportFileTo";
  if (!RequireOpenSong()) return 0;
  Sniffed sniffed;
  {
    const FileHandle file = FileHandle::Open(path, O_RDONLY);
    if (!file.IsOpen()) {
      ReportImportFailure(kRoutine, "the file is missing or cannot be read", path,
                          std::strerror(errno));
      return 0;
    }
    // A folder opens too, and a device or pipe could not be read twice.
    if (!file.IsRegularFile()) {
      ReportImportFailure(kRoutine, "not a file", path);
      return 0;
    }
    sniffed = SniffFile(file);
  }
  switch (sniffed.kind) {
    case SoundKind::Wav:
      if (IsTrackFormatWav(sniffed.head)) return LoadFileWav(track, path);
      return LoadSoundFile(track, path);
    case SoundKind::OggVorbis:
      return LoadOgg(track, path);
    case SoundKind::Mp3:
      return LoadMp3(track, path);
    case SoundKind::Aiff:
    case SoundKind::Caf:
    case SoundKind::Flac:
    case SoundKind::OggOpus:
    case SoundKind::OggFlac:
      return LoadSoundFile(track, path);
    case SoundKind::Unknown:
      break;
  }
  if (sniffed.head.empty()) {
    ReportImportFailure(kRoutine, "the file is empty", path);
    return 0;
  }
  return LoadWithFfmpeg(track, path, kRoutine,
                        "not a WAV, AIFF, FLAC, Ogg Vorbis, Opus or MP3 file");
}
