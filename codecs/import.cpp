#include "codecs/import.h"

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/file_handle.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/mp3.h"
#include "codecs/ogg.h"
#include "codecs/sniff.h"
#include "codecs/sound_file.h"
#include "codecs/wav.h"
#include "platform/platform.h"
#include "song/song_file.h"
#include "song/undo.h"

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

void ApplyLoopName(Track& track, std::string_view path, int32_t start, int32_t end) {
  bool loop = false;
  // A separator in the first position would leave no folder, so the search stops
  // at the second character.
  for (size_t i = path.size(); i-- > 1;) {
    if (path[i] == '/' || path[i] == '\\') {
      const std::string_view name = path.substr(i + 1);
      static constexpr std::string_view kPrefix = "loop";
      loop = name.size() >= kPrefix.size();
      for (size_t k = 0; loop && k < kPrefix.size(); ++k) {
        loop = std::tolower(static_cast<unsigned char>(name[k])) == kPrefix[k];
      }
      break;
    }
  }
  if (loop) {
    track.loopStart = start;
    track.loopEnd = end;
    track.loopOn = 1;
  } else {
    track.loopOn = 0;
  }
}

int StoreImportedAudio(Track& track, const uint8_t* audio, int32_t length, std::string_view path,
                       int32_t loopStart) {
  // A full disk (or no song file at all) must not pass for an import: the user
  // would go on working on a track that holds only part of the file, or nothing.
  KeepForUndo(UndoKind::Import, track, LoopOf(track), 0, TrackRegionBytes);
  if (FileWriteOrDropUndo(track, audio, 0, length) < length) {
    platform().ShowMessage("Not enough disk space to import the file", "Error");
    return 0;
  }
  ClearTrackTail(track, length);
  ApplyLoopName(track, path, loopStart, length);
  return 1;
}

void ReportImportFailure(std::string_view routine, std::string_view why, std::string_view path,
                         std::string_view reason) {
  std::string text(routine);
  text.append(": ").append(why).append(": ").append(path);
  if (!reason.empty()) text.append("\n").append(path).append(": ").append(reason);
  platform().ShowMessage(text, "Error");
}

void ReportDecodeFailure(std::string_view loader, DecodeStatus status, std::string_view path) {
  const char* what = nullptr;
  switch (status) {
    case DecodeStatus::Ok:
      return;
    case DecodeStatus::NoMemory:
      what = "malloc failed";
      break;
    case DecodeStatus::MissingFile:
      what = "Missing File";
      break;
    case DecodeStatus::Undecodable:
      what = "no audio could be decoded";
      break;
  }
  ReportImportFailure(loader, what, path);
}
