#include "song/song_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

#include "base/file_handle.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/song_state.h"

namespace {

constexpr int64_t kSongFileBytes = SongHeaderBytes + int64_t{TrackCount} * TrackRegionBytes;

std::filesystem::path CanonicalForm(const std::string& name) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(name, ec);
  if (ec) p = std::filesystem::absolute(name, ec).lexically_normal();
  return p;
}

// The copy buffer for when the kernel cannot copy between two files; empty when
// MixerInit could not allocate it.
std::span<uint8_t> CopyBuffer() {
  if (!song.workBuffer) return {};
  return std::span<uint8_t>(song.workBuffer.get(), TrackRegionBytes);
}

// The working file's folder may lie on another filesystem than the chosen name:
// rename cannot cross, so the bytes are copied and synced before the original
// goes. The original stays whole until the copy is known to be on disk.
bool CopyAcrossFilesystems(const std::string& from, const std::string& to) {
  FileHandle source = FileHandle::Open(from, O_RDONLY);
  if (!source.IsOpen()) return false;
  const int64_t length = source.Size();
  FileHandle dest = FileHandle::Open(to, O_WRONLY | O_CREAT | O_TRUNC);
  if (!dest.IsOpen()) return false;
  const bool copied =
      length >= 0 && source.CopyTo(dest, 0, length, CopyBuffer()) == length && dest.Sync();
  if (!dest.Close() || !copied) {
    ::unlink(to.c_str());
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

void SyncFolderOf(const std::string& name) {
  const std::filesystem::path folder = CanonicalForm(name).parent_path();
  FileHandle dir = FileHandle::Open(folder.string(), O_RDONLY | O_DIRECTORY);
  dir.Sync();
}

// Moves the working file to name, replacing a file there, and returns once the
// move is on disk.
bool MoveSongFile(const std::string& from, const std::string& to) {
  {
    FileHandle f = FileHandle::Open(from, O_RDONLY);
    f.Sync();
  }
  if (::rename(from.c_str(), to.c_str()) == 0) {
    SyncFolderOf(to);
    return true;
  }
  return errno == EXDEV && CopyAcrossFilesystems(from, to);
}

// The working file's name is reserved in its folder in any letter case: on a
// case-insensitive filesystem "DEFAULT.SVL" is the working file itself, which is
// deleted whenever a song is left.
bool NamesWorkingFile(const std::string& name, const std::string& workingFile) {
  if (SameFileName(name, workingFile)) return true;
  const std::filesystem::path chosen = CanonicalForm(name);
  std::string base = chosen.filename().string();
  std::transform(base.begin(), base.end(), base.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return base == "default.svl" && chosen.parent_path() == CanonicalForm(workingFile).parent_path();
}

}  // namespace

// The same file, not merely the same text: Linux names are case-sensitive, and a
// link or a ".." must not let a copy truncate its own source. Files that exist
// are compared by device and inode; names of files that do not exist (yet) by
// their canonical paths.
bool SameFileName(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  struct stat sa {};
  struct stat sb {};
  const bool aExists = ::stat(a.c_str(), &sa) == 0;
  const bool bExists = ::stat(b.c_str(), &sb) == 0;
  if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (aExists != bExists) return false;
  return CanonicalForm(a) == CanonicalForm(b);
}

int NewSong() {
  SongFileClose();
  // The settings first: the new working song remembers them as created.
  ResetSongSettings();
  SongFileInit();
  NoticeSongLoaded();
  return 0;
}

int OpenSongFrom(const std::string& path) {
  // Refused before this song is left, so it stays open. The open song itself is
  // held by this program: it is left first and opened again.
  if (!SameFileName(path, songPath) && SongFileHeldElsewhere(path)) {
    ReportSongInUse(path);
    return 0;
  }
  SongFileClose();
  return SongFileOpen(path);
}

int SaveSongTo(const std::string& name) {
  const std::string workingFile = WorkingFilePath();
  if (NamesWorkingFile(name, workingFile)) {
    platform().ShowMessage("Try again. Do not save as default.svl", "Filename Error");
    return 0;
  }
  if (!SongFileIsOpen()) {
    // After a failed open there is no song to save, nor one to go back to.
    platform().ShowMessage("File could not be saved. Try a different filename or drive.",
                           "Save File Error");
    return 0;
  }
  SongFileWriteHeader();
  if (SameFileName(name, songPath)) return 0;
  if (SongFileHeldElsewhere(name)) {
    ReportSongInUse(name);
    return 0;
  }

  const std::string previous = songPath;
  SongFileCloseOnly();
  const bool saved = SameFileName(previous, workingFile) ? MoveSongFile(previous, name)
                                                         : CopySongFile(previous, name) != 0;
  if (!saved) {
    platform().ShowMessage("File could not be saved. Try a different filename or drive.",
                           "Save File Error");
    SongFileOpen(previous);
    return 0;
  }
  return SongFileOpen(name);
}

int CopySongFile(const std::string& source, const std::string& destination) {
  NoticeProgress(16);
  FileHandle from = FileHandle::Open(source, O_RDONLY);
  const int64_t sourceLength = from.Size();
  if (sourceLength < 0) {
    NoticeProgress(0);
    platform().ShowMessage("CopySongFile - failed", "Error");
    return 0;
  }
  // Not truncated on opening: when the destination is the source under another
  // name, truncating would destroy the song before the copy starts.
  FileHandle to = FileHandle::Open(destination, O_WRONLY | O_CREAT);
  struct stat sf {};
  struct stat st {};
  const bool sameFile = to.IsOpen() && ::fstat(from.Descriptor(), &sf) == 0 &&
                        ::fstat(to.Descriptor(), &st) == 0 && sf.st_dev == st.st_dev &&
                        sf.st_ino == st.st_ino;
  if (!to.IsOpen() || sameFile || !to.Resize(0)) {
    NoticeProgress(0);
    platform().ShowMessage("CopySongFile - dest failed", "Error");
    return 0;
  }

  // Every write is checked: a full disk must not leave a short copy that would
  // then be opened as the song.
  const auto copyPart = [&](int64_t begin, int64_t end) {
    const int64_t held = std::clamp<int64_t>(sourceLength - begin, 0, end - begin);
    return from.CopyTo(to, begin, held, CopyBuffer()) == held;
  };
  // One step per track region, moved to whole MiB so the kernel copies whole
  // pages (the header area would leave every page of the copy split).
  const auto stepEnd = [](int i) {
    return i == TrackCount ? kSongFileBytes
                           : (SongHeaderBytes + int64_t{i} * TrackRegionBytes) & ~int64_t{0xFFFFF};
  };
  bool ok = true;
  for (int i = 0; ok && i < TrackCount; ++i) {
    NoticeProgress(32 + 32 * i);
    ok = copyPart(stepEnd(i), stepEnd(i + 1));
    NoticeProgress(48 + 32 * i);
  }
  // The copy is always a full-size song; what the source does not hold reads as
  // silence from the filesystem.
  ok = ok && to.Resize(kSongFileBytes);
  ok = to.Close() && ok;
  NoticeProgress(0);
  if (!ok) ::unlink(destination.c_str());
  return ok ? 1 : 0;
}
