#include "song/song_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "base/file_handle.h"
#include "base/paths.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_header.h"

std::string songPath;

namespace {

FileHandle songFile;

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

void ReadLooping(Track& track, std::span<uint8_t, BytesPerSecond> slot) {
  const int32_t loopLength = track.loopEnd - track.loopStart;
  // Where a whole pass of the loop already sits in this block: a loop shorter
  // than a block repeats from memory instead of from the file.
  int32_t wholePassAt = -1;
  int32_t filled = 0;
  while (filled < BytesPerSecond) {
    if (track.loopPos >= track.loopEnd || track.loopPos < track.loopStart) {
      track.loopPos = track.loopStart;
    }
    const int32_t n = std::min(track.loopEnd - track.loopPos, BytesPerSecond - filled);
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

}  // namespace

std::string WorkingFilePath() {
  return workDir + "default.svl";
}

int SongFileIsOpen() {
  return songFile.IsOpen() ? 1 : 0;
}

int SongFileInit() {
  const std::string path = WorkingFilePath();
  songFile = FileHandle::Open(path, O_RDWR | O_CREAT | O_TRUNC);
  if (!songFile.IsOpen()) {
    songPath.clear();
    platform().ShowMessage("SongFileInit - failed", "Error");
    return 0;
  }
  songPath = path;
  // The first paint after a failed MixerInit gets here without a work buffer.
  if (song.workBuffer) std::memset(song.workBuffer.get(), 0, TrackRegionBytes);

  // Written, not just sized, so a full disk shows now rather than mid-recording.
  static constexpr std::array<uint8_t, SongHeaderBytes> kZeroHeader{};
  if (songFile.WriteAt(0, kZeroHeader) < kZeroHeader.size()) {
    platform().ShowMessage("Not enough disk space to create a song", "Error");
    return 0;
  }
  return 1;
}

int SongFileOpen(const std::string& path) {
  songFile = FileHandle::Open(path, O_RDWR);
  if (!songFile.IsOpen()) {
    songPath.clear();
    platform().ShowMessage("SongFileOpen - failed", "Error");
    return 0;
  }
  songPath = path;

  std::array<uint8_t, SongHeaderUsedBytes> header{};
  const size_t got = songFile.ReadAt(0, header);
  DecodeSongHeader(std::span<const uint8_t>(header).first(got));

  NoticeSongLoaded();
  return 1;
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
  SongFileWriteHeader();
  SongFileCloseOnly();
  ::unlink(WorkingFilePath().c_str());
}

int64_t FileWrite(const Track& track, const uint8_t* source, int32_t offset, int32_t count) {
  if (!songFile.IsOpen() || !ValidTrack(track) || offset < 0 || offset > TrackRegionBytes ||
      count < 0) {
    return 0;
  }
  // Never into the next track's region.
  count = std::min(count, TrackRegionBytes - offset);
  const int64_t position = RegionStart(track.index) + offset;

  // The filesystem fills the gap with the zeros that a song file holds between
  // its last written byte and a later write.
  const int64_t size = songFile.Size();
  if (size < 0 || (size < position && !songFile.Resize(position))) return 0;

  return static_cast<int64_t>(songFile.WriteAt(
      position, std::span<const uint8_t>(source + offset, static_cast<size_t>(count))));
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
