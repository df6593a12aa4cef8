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

#include "base/failure_text.h"
#include "base/file_handle.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "song/unsaved.h"

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

void SyncFolderOf(const std::string& name) {
  const std::filesystem::path folder = CanonicalForm(name).parent_path();
  FileHandle dir = FileHandle::Open(folder.string(), O_RDONLY | O_DIRECTORY);
  dir.Sync();
}

// The whole song from `from` into the empty file `to`, which ends up `length`
// bytes long. Only the parts the source holds are copied: what it never wrote
// stays a hole in the copy and reads as silence, as it did in the source.
bool CopySongBytes(const FileHandle& from, const FileHandle& to, int64_t length) {
  // One step per track region, moved to whole MiB so the kernel copies whole
  // pages (the header area would leave every page of the copy split).
  const auto stepEnd = [](int i) {
    return i == TrackCount ? kSongFileBytes
                           : (SongHeaderBytes + int64_t{i} * TrackRegionBytes) & ~int64_t{0xFFFFF};
  };
  bool ok = true;
  for (int i = 0; ok && i < TrackCount; ++i) {
    NoticeProgress(32 + 32 * i);
    // Every write is checked: a full disk must not leave a short copy that would
    // then be opened as the song.
    ok = from.CopyDataTo(to, stepEnd(i), stepEnd(i + 1) - stepEnd(i), CopyBuffer());
    NoticeProgress(48 + 32 * i);
  }
  return ok && to.Resize(length);
}

// The open song copied into a new file at name, which is locked for this program
// from its creation on; an empty handle after a message (the partial copy gone),
// with the system's reason in `error`. A copy is a full-size song; a move keeps
// the file's length.
FileHandle CopyOpenSongTo(const std::string& name, bool fullSize, int& error) {
  FileHandle to = FileHandle::Open(name, O_RDWR | O_CREAT);
  error = errno;
  const bool held = to.IsOpen() && to.TryLock() == FileHandle::Lock::HeldElsewhere;
  if (!to.IsOpen() || held) {
    if (held) error = EBUSY;
    platform().ShowMessage(FailureText("CopySongFile - dest failed", name, error), "Error");
    return {};
  }
  NoticeProgress(16);
  const int64_t length = fullSize ? kSongFileBytes : SongFileHandle().Size();
  errno = 0;
  const bool copied = length >= 0 && to.Resize(0) && CopySongBytes(SongFileHandle(), to, length);
  error = errno != 0 ? errno : ENOSPC;
  NoticeProgress(0);
  if (!copied) {
    ::unlink(name.c_str());
    return {};
  }
  return to;
}

// Moves the open song (the working song, or one kept in unsaved/) to name,
// replacing a file there, and returns once the move is on disk. The song stays
// open and locked throughout, so no other window can take it for a crash's
// leftover meanwhile. Across filesystems it is copied, and the original goes only
// once the copy is on disk.
bool MoveOpenSong(const std::string& name, int& error) {
  const std::string from = songPath;
  SongFileHandle().Sync();
  if (::rename(from.c_str(), name.c_str()) == 0) {
    SyncFolderOf(name);
    SongFileRenamed(name);
    return true;
  }
  error = errno;
  if (error != EXDEV) return false;
  FileHandle copy = CopyOpenSongTo(name, false, error);
  if (!copy.IsOpen()) return false;
  if (!copy.Sync()) {
    error = errno;
    ::unlink(name.c_str());
    return false;
  }
  // Still ours: the name cannot have passed to another window's file.
  ::unlink(from.c_str());
  SongFileAdopt(std::move(copy), name);
  return true;
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
  if (SameFileName(path, songPath)) {
    // Leaving the working song would move it away before it could be opened.
    if (songPath == WorkingFilePath()) {
      platform().ShowMessage("SongFileOpen - failed\n" + path + ": it is already the open song",
                             "Error");
      return 0;
    }
    // The open named song is held by this program: it is left and opened again.
    SongFileClose();
    return SongFileOpen(path);
  }
  // Opened before this song is left, so a song that cannot be had leaves this
  // one open.
  FileHandle next = OpenNextSong(path);
  if (!next.IsOpen()) return 0;
  SongFileClose();
  SongFileAdopt(std::move(next), path);
  return 1;
}

int SaveSongTo(const std::string& name) {
  const std::string workingFile = WorkingFilePath();
  if (NamesWorkingFile(name, workingFile)) {
    platform().ShowMessage("Try again. Do not save as default.svl", "Filename Error");
    return 0;
  }
  if (!SongFileIsOpen()) {
    // A window whose working song another program holds has nothing to save.
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

  // A kept song given a name leaves the rotation of unsaved/ as the working
  // song does: it moves. A named song is copied and stays as it is.
  bool saved;
  int error = 0;
  if (SameFileName(songPath, workingFile) || IsKeptSong(songPath)) {
    saved = MoveOpenSong(name, error);
  } else {
    FileHandle copy = CopyOpenSongTo(name, true, error);
    saved = copy.IsOpen();
    if (saved) SongFileAdopt(std::move(copy), name);
  }
  if (!saved) {
    platform().ShowMessage(
        FailureText("File could not be saved. Try a different filename or drive.", name, error),
        "Save File Error");
    return 0;
  }
  return 1;
}

int CopySongFile(const std::string& source, const std::string& destination) {
  NoticeProgress(16);
  FileHandle from = FileHandle::Open(source, O_RDONLY);
  const int openError = errno;
  const int64_t sourceLength = from.Size();
  if (sourceLength < 0) {
    NoticeProgress(0);
    platform().ShowMessage(FailureText("CopySongFile - failed", source, openError), "Error");
    return 0;
  }
  // Not truncated on opening: when the destination is the source under another
  // name, truncating would destroy the song before the copy starts.
  FileHandle to = FileHandle::Open(destination, O_WRONLY | O_CREAT);
  int error = errno;
  struct stat sf {};
  struct stat st {};
  const bool sameFile = to.IsOpen() && ::fstat(from.Descriptor(), &sf) == 0 &&
                        ::fstat(to.Descriptor(), &st) == 0 && sf.st_dev == st.st_dev &&
                        sf.st_ino == st.st_ino;
  if (!to.IsOpen() || sameFile || !to.Resize(0)) {
    if (to.IsOpen() && !sameFile) error = errno;
    NoticeProgress(0);
    platform().ShowMessage(sameFile ? FailureText("CopySongFile - dest failed", destination,
                                                  std::string_view("it is the song being copied"))
                                    : FailureText("CopySongFile - dest failed", destination, error),
                           "Error");
    return 0;
  }

  // The copy is always a full-size song; what the source does not hold reads as
  // silence from the filesystem.
  bool ok = CopySongBytes(from, to, kSongFileBytes);
  ok = to.Close() && ok;
  NoticeProgress(0);
  if (!ok) ::unlink(destination.c_str());
  return ok ? 1 : 0;
}
