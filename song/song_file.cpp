#include "song/song_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <span>

#include "base/failure_text.h"
#include "base/file_handle.h"
#include "base/paths.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_header.h"
#include "song/undo.h"
#include "song/unsaved.h"

std::string songPath;

namespace {

FileHandle songFile;
// The working song's settings as it was created: anything else is worth keeping.
std::array<uint8_t, SongHeaderUsedBytes> createdHeader{};

int64_t RegionStart(int index) {
  return SongHeaderBytes + static_cast<int64_t>(index - 1) * TrackRegionBytes;
}

bool ValidTrack(const Track& track) {
  return track.index >= 1 && track.index <= TrackCount;
}

std::span<uint8_t, BytesPerSecond> RingSlot(Track& track) {
  const int slot = ((song.ringSecond % 3) + 3) % 3;
  return std::span<uint8_t, BytesPerSecond>(track.audioRing[slot], BytesPerSecond);
}

// Region bytes [offset, offset + out.size()) of the track; silence where the
// file holds nothing or no song is open.
void ReadRegion(const Track& track, int64_t offset, std::span<uint8_t> out) {
  songFile.ReadZeroFilled(RegionStart(track.index) + offset, out);
}

void ReadLooping(Track& track, std::span<uint8_t> slot) {
  const int32_t loopLength = track.loopEnd - track.loopStart;
  const auto size = static_cast<int32_t>(slot.size());
  // Where a whole pass of the loop already sits in this block: a loop shorter
  // than a block repeats from memory instead of from the file.
  int32_t wholePassAt = -1;
  int32_t filled = 0;
  while (filled < size) {
    if (track.loopPos >= track.loopEnd || track.loopPos < track.loopStart) {
      track.loopPos = track.loopStart;
    }
    const int32_t n = std::min(track.loopEnd - track.loopPos, size - filled);
    const auto dest = slot.subspan(filled, n);
    if (track.loopPos == track.loopStart && wholePassAt >= 0) {
      std::memcpy(dest.data(), slot.data() + wholePassAt, dest.size());
    } else {
      ReadRegion(track, track.loopPos, dest);
      if (track.loopPos == track.loopStart && n == loopLength) wholePassAt = filled;
    }
    track.loopPos += n;
    filled += n;
  }
}

// More than an empty song: audio past the header area, or a header that is not
// all zeros (a song file is created with a zero header and gets its settings
// when it is left).
bool HoldsASong(const FileHandle& file) {
  if (file.Size() > SongHeaderBytes) return true;
  std::array<uint8_t, SongHeaderBytes> header{};
  const size_t got = file.ReadAt(0, header);
  return std::any_of(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(got),
                     [](uint8_t b) { return b != 0; });
}

// A take, an import or a setting changed since the working song was created.
bool WorkingSongTouched() {
  return songFile.Size() > SongHeaderBytes || EncodeSongHeader() != createdHeader;
}

// Opening writes a header over the file's first bytes when the song is left, so
// only a file that already holds a song's header may be taken: a known version
// and nothing but zeros behind the settings in the header area. A WAV, a text or
// any other file fails at the first byte or in the zeros.
bool HoldsSongHeader(const FileHandle& file) {
  std::array<uint8_t, SongHeaderBytes> header{};
  const size_t got = file.ReadAt(0, header);
  if (got == 0 || header[0] > SongHeaderVersion) return false;
  const size_t used =
      header[0] == 1 ? size_t{SongHeaderVersion1Bytes} : size_t{SongHeaderUsedBytes};
  return std::all_of(header.begin() + static_cast<std::ptrdiff_t>(std::min(used, got)),
                     header.begin() + static_cast<std::ptrdiff_t>(got),
                     [](uint8_t b) { return b == 0; });
}

// Why the last write into the song fell short, for the message that says so.
int lastWriteError = 0;

void RefuseOpen(const std::string& path, const std::string& why) {
  platform().ShowMessage(FailureText("SongFileOpen - failed", path, why), "Error");
}

void ReportFailure(std::string_view first, const std::string& path, int error) {
  platform().ShowMessage(FailureText(first, path, error), "Error");
}

}  // namespace

std::string WorkingFilePath() {
  return workDir + "default.svl";
}

int SongFileIsOpen() {
  return songFile.IsOpen() ? 1 : 0;
}

int RequireOpenSong() {
  if (songFile.IsOpen()) return 1;
  platform().ShowMessage(
      "No song is open, so there is nowhere to record or import. Open a song "
      "or start a new one first.",
      "Error");
  return 0;
}

int SongFileInit() {
  const std::string path = WorkingFilePath();
  songFile.Close();
  songPath.clear();
  // Opened without truncating: until the lock is ours the file may hold another
  // window's song.
  FileHandle file = FileHandle::Open(path, O_RDWR | O_CREAT);
  if (!file.IsOpen()) {
    ReportFailure("SongFileInit - failed", path, errno);
    return 0;
  }
  if (file.TryLock() == FileHandle::Lock::HeldElsewhere) {
    const std::string folder = workDir.substr(0, workDir.find_last_not_of('/') + 1);
    platform().ShowMessage("Another Sonavel window is using the song in " + folder +
                               ". This window has no song open: use Open to work on a saved song.",
                           "Song in use");
    return 0;
  }
  if (HoldsASong(file)) {
    // Left by a crash, a kill or a power cut: kept, never truncated.
    errno = 0;
    const std::string kept = KeepUnsaved(path);
    if (kept.empty()) {
      ReportFailure("SongFileInit - failed", path, errno != 0 ? errno : EIO);
      return 0;
    }
    file = FileHandle::Open(path, O_RDWR | O_CREAT);
    if (!file.IsOpen()) {
      ReportFailure("SongFileInit - failed", path, errno);
      return 0;
    }
    if (file.TryLock() == FileHandle::Lock::HeldElsewhere) {
      platform().ShowMessage(FailureText("SongFileInit - failed", path,
                                         std::string_view("another Sonavel window has it open")),
                             "Error");
      return 0;
    }
    platform().ShowInformation(
        "The song of the last session was kept as " + kept + ". Open brings it back.", "Song kept");
  }
  songFile = std::move(file);
  songPath = path;
  // The first paint after a failed MixerInit gets here without a work buffer.
  if (song.workBuffer) std::memset(song.workBuffer.get(), 0, TrackRegionBytes);

  // Written, not just sized, so a full disk shows now rather than mid-recording.
  static constexpr std::array<uint8_t, SongHeaderBytes> kZeroHeader{};
  errno = 0;
  if (!songFile.Resize(0) || songFile.WriteAt(0, kZeroHeader) < kZeroHeader.size()) {
    ReportFailure("Not enough disk space to create a song", path, errno != 0 ? errno : ENOSPC);
    return 0;
  }
  createdHeader = EncodeSongHeader();
  return 1;
}

int SongFileOpen(const std::string& path, SongAccess access) {
  songFile.Close();
  songPath.clear();
  const bool writing = access == SongAccess::ReadWrite;
  FileHandle file = FileHandle::Open(path, writing ? O_RDWR : O_RDONLY);
  if (!file.IsOpen()) {
    ReportFailure("SongFileOpen - failed", path, errno);
    return 0;
  }
  if (writing && file.TryLock() == FileHandle::Lock::HeldElsewhere) {
    ReportSongInUse(path);
    return 0;
  }
  SongFileAdopt(std::move(file), path);
  return 1;
}

FileHandle OpenNextSong(const std::string& path) {
  FileHandle file = FileHandle::Open(path, O_RDWR);
  if (!file.IsOpen()) {
    RefuseOpen(path, std::strerror(errno));
    return file;
  }
  if (!file.IsRegularFile()) {
    RefuseOpen(path, "not a file");
    return {};
  }
  if (!HoldsSongHeader(file)) {
    RefuseOpen(path, "not a Sonavel song");
    return {};
  }
  if (file.TryLock() == FileHandle::Lock::HeldElsewhere) {
    ReportSongInUse(path);
    return {};
  }
  // Removed from unsaved/ between the open and the lock: it would be worked on
  // with no name left to find it by.
  struct stat st {};
  if (::fstat(file.Descriptor(), &st) != 0 || st.st_nlink == 0) {
    RefuseOpen(path, std::strerror(ENOENT));
    return {};
  }
  return file;
}

int IsSongFile(const std::string& path) {
  const FileHandle file = FileHandle::Open(path, O_RDONLY);
  return file.IsRegularFile() && HoldsSongHeader(file) ? 1 : 0;
}

void SongFileAdopt(FileHandle file, const std::string& path) {
  songFile = std::move(file);
  songPath = path;

  std::array<uint8_t, SongHeaderUsedBytes> header{};
  const size_t got = songFile.ReadAt(0, header);
  DecodeSongHeader(std::span<const uint8_t>(header).first(got));

  NoticeSongLoaded();
}

void SongFileRenamed(const std::string& path) {
  songPath = path;
}

int SongFileHeldElsewhere(const std::string& path) {
  const FileHandle file = FileHandle::Open(path, O_RDONLY);
  return file.IsOpen() && file.TryLock() == FileHandle::Lock::HeldElsewhere ? 1 : 0;
}

void ReportSongInUse(const std::string& path) {
  platform().ShowMessage(
      "Another Sonavel window has the song " + path + " open. Close it there first.",
      "Song in use");
}

void SongFileWriteHeader() {
  const auto header = EncodeSongHeader();
  songFile.WriteAt(0, header);
}

void SongFileCloseOnly() {
  songFile.Close();
  songPath.clear();
}

void SongFileClose() {
  if (songFile.IsOpen()) {
    SongFileWriteHeader();
    // Done while the lock is still ours, so no other window can take the file in
    // between. A working song that could not be kept stays where it is: the next
    // start keeps it then.
    if (songPath == WorkingFilePath()) {
      if (WorkingSongTouched()) {
        KeepUnsaved(songPath);
      } else {
        ::unlink(songPath.c_str());
      }
    }
  }
  SongFileCloseOnly();
  DropUndo();
  NoticeSongLeft();
}

const FileHandle& SongFileHandle() {
  return songFile;
}

int64_t TrackRegionStart(const Track& track) {
  return RegionStart(track.index);
}

int64_t FileWrite(const Track& track, const uint8_t* source, int32_t offset, int32_t count) {
  if (!songFile.IsOpen()) {
    lastWriteError = EBADF;
    return 0;
  }
  if (!ValidTrack(track) || offset < 0 || offset > TrackRegionBytes || count < 0) return 0;
  // Never into the next track's region.
  count = std::min(count, TrackRegionBytes - offset);
  const int64_t position = RegionStart(track.index) + offset;

  // The filesystem fills the gap with the zeros that a song file holds between
  // its last written byte and a later write.
  errno = 0;
  const int64_t size = songFile.Size();
  int64_t written = 0;
  if (size >= 0 && (size >= position || songFile.Resize(position))) {
    written = static_cast<int64_t>(songFile.WriteAt(
        position, std::span<const uint8_t>(source + offset, static_cast<size_t>(count))));
  }
  // A write that falls short without a word from the system ran out of room.
  if (written < count) lastWriteError = errno != 0 ? errno : ENOSPC;
  return written;
}

void ReportSongWriteFailure(std::string_view first) {
  platform().ShowMessage(FailureText(first, songPath.empty() ? WorkingFilePath() : songPath,
                                     lastWriteError != 0 ? lastWriteError : ENOSPC),
                         "Error");
}

int ClearTrackTail(const Track& track, int32_t offset) {
  // Recording and import, the only callers, cannot run without the work buffer.
  if (!song.workBuffer) return 1;
  offset = std::clamp(offset, 0, TrackRegionBytes);
  std::memset(song.workBuffer.get(), 0, TrackRegionBytes);
  if (TrackRegionBytes - offset > 0) {
    FileWrite(track, song.workBuffer.get(), offset, TrackRegionBytes - offset);
  }
  return 1;
}

int TrackHoldsAudio(const Track& track) {
  if (!songFile.IsOpen() || !ValidTrack(track)) return 0;
  std::array<uint8_t, 1 << 16> chunk;
  const int64_t end = RegionStart(track.index) + TrackRegionBytes;
  int64_t at = RegionStart(track.index);
  while (at < end) {
    // Only the parts the file holds are read: an empty track costs no reading.
    int64_t data = ::lseek(songFile.Descriptor(), at, SEEK_DATA);
    int64_t hole = end;
    if (data < 0 && errno == ENXIO) return 0;
    if (data < 0) {
      data = at;  // a filesystem that cannot tell: read it all
    } else {
      hole = std::min(end, static_cast<int64_t>(::lseek(songFile.Descriptor(), data, SEEK_HOLE)));
      if (hole <= data) hole = end;
    }
    for (at = data; at < hole;) {
      const auto part = std::span(chunk).first(
          static_cast<size_t>(std::min<int64_t>(hole - at, static_cast<int64_t>(chunk.size()))));
      const size_t got = songFile.ReadAt(at, part);
      if (got == 0) return 0;
      if (std::any_of(part.begin(), part.begin() + static_cast<std::ptrdiff_t>(got),
                      [](uint8_t b) { return b != 0; })) {
        return 1;
      }
      at += static_cast<int64_t>(got);
    }
  }
  return 0;
}

int32_t ReadTrackBlock(Track& track) {
  const auto slot = RingSlot(track);
  if (!ValidTrack(track)) {
    std::memset(slot.data(), 0, slot.size());
  } else if (track.loopOn != 0 && LoopFitsRegion(track)) {
    ReadLooping(track, slot);
  } else if (song.mixSecond >= 0 && song.mixSecond < SongSeconds) {
    ReadRegion(track, static_cast<int64_t>(song.mixSecond) * BytesPerSecond, slot);
  } else {
    std::memset(slot.data(), 0, slot.size());
  }
  return BytesPerSecond;
}

void ReadTrackPart(Track& track, int32_t offset, std::span<uint8_t> out) {
  if (!ValidTrack(track) || offset < 0 || offset > TrackRegionBytes - std::ssize(out)) {
    std::fill(out.begin(), out.end(), uint8_t{0});
  } else if (track.loopOn != 0 && LoopFitsRegion(track)) {
    // In the phase a straight run from the song's start would have there.
    track.loopPos = track.loopStart + offset % (track.loopEnd - track.loopStart);
    ReadLooping(track, out);
  } else {
    ReadRegion(track, offset, out);
  }
}
