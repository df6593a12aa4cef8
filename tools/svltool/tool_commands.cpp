#include "tools/svltool/tool_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "base/file_handle.h"
#include "codecs/bounce.h"
#include "codecs/click_track.h"
#include "codecs/export.h"
#include "codecs/import.h"
#include "codecs/stems.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "tools/svltool/session.h"
#include "tools/svltool/track_report.h"

namespace {

// The whole text must be a decimal integer within [low, high].
std::optional<int> ParseInt(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

// An option's value, or `fallback` when it is absent; nullopt after a usage error.
std::optional<int> IntOption(const Arguments& args, const std::string& command,
                             const std::string& option, int low, int high, int fallback,
                             int* status) {
  const auto found = args.options.find(option);
  if (found == args.options.end()) return fallback;
  const std::optional<int> value = ParseInt(found->second, low, high);
  if (!value) {
    *status =
        UsageError(command, "'" + option + "' takes a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", not '" + found->second + "'");
  }
  return value;
}

std::optional<int> TrackArgument(const Arguments& args, const std::string& command, int* status) {
  const std::optional<int> track = ParseInt(args.positional[1], 1, TrackCount);
  if (!track) {
    *status =
        UsageError(command, "TRACK is a number from 1 to 8, not '" + args.positional[1] + "'");
  }
  return track;
}

// Opens the named song in the core; false after a message. A song to be changed
// is taken for this run alone, and one a running program holds is refused at
// once; a song only read is not taken.
bool OpenSong(CoreSession& session, const std::string& path, SongAccess access) {
  if (!session.Ready()) return false;
  // A header written into a WAV would destroy it: only songs are changed.
  if (access == SongAccess::ReadWrite && ::access(path.c_str(), F_OK) == 0 && !IsSongFile(path)) {
    std::fprintf(stderr, "svltool: %s: %s\n", path.c_str(), "not a Sonavel song");
    return false;
  }
  if (SongFileOpen(path, access) == 1) return true;
  std::fprintf(stderr, "svltool: %s: %s\n", path.c_str(), "the song could not be opened");
  return false;
}

int Status(CoreSession& session) {
  return session.Console().failures == 0 ? kExitOk : kExitFailure;
}

}  // namespace

int RunNew(const Arguments& args) {
  const std::string& path = args.positional[0];
  // Never over a song: a typo must not cost a recording.
  FileHandle file = FileHandle::Open(path, O_WRONLY | O_CREAT | O_EXCL);
  if (!file.IsOpen()) {
    std::fprintf(
        stderr, "svltool: %s: %s\n", path.c_str(),
        errno == EEXIST ? "already exists; new never replaces a file" : std::strerror(errno));
    return kExitFailure;
  }
  static constexpr std::array<uint8_t, SongHeaderBytes> kEmptyHeader{};
  const bool written = file.WriteAt(0, kEmptyHeader) == kEmptyHeader.size();
  if (!file.Close() || !written) {
    ::unlink(path.c_str());
    std::fprintf(stderr, "svltool: %s: Not enough disk space to create a song\n", path.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int RunInfo(const Arguments& args) {
  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadOnly)) return kExitFailure;
  // Looking changes nothing: the header is not written back.
  SongFileCloseOnly();
  PrintTracks(args.Has("--json"));
  return Status(session);
}

int RunSet(const Arguments& args) {
  int status = kExitUsage;
  const std::optional<int> track = TrackArgument(args, "set", &status);
  if (!track) return status;
  const std::optional<int> play = IntOption(args, "set", "--play", 0, 1, -1, &status);
  if (!play) return status;
  const std::optional<int> effect = IntOption(args, "set", "--effect", 0, 1, -1, &status);
  if (!effect) return status;
  // Any number is taken, and limited as the volume slider limits it.
  std::optional<int> volume = -1;
  if (const auto v = args.options.find("--volume"); v != args.options.end()) {
    volume = ParseInt(v->second, INT32_MIN, INT32_MAX);
    if (!volume)
      return UsageError("set", "'--volume' takes a whole number, not '" + v->second + "'");
    volume = std::clamp(*volume, 0, 90);
  }
  std::optional<std::string> name;
  if (const auto n = args.options.find("--name"); n != args.options.end()) {
    name = n->second;
    if (!IsPanelName(*name)) {
      return UsageError("set", "a name holds printable ASCII characters only");
    }
  }

  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadWrite)) return kExitFailure;
  Track& t = tracks[*track];
  if (*play >= 0) t.playOn = static_cast<uint8_t>(*play);
  if (*effect >= 0) t.effectOn = static_cast<uint8_t>(*effect);
  if (*volume >= 0) t.volume = static_cast<int8_t>(*volume);
  if (name) SetTrackName(t, *name);
  SongFileClose();
  return Status(session);
}

int RunImport(const Arguments& args) {
  int status = kExitUsage;
  const std::optional<int> track = TrackArgument(args, "import", &status);
  if (!track) return status;
  // The loop rule reads the name after the last '/', as the file dialog's full
  // path always has one.
  std::error_code ec;
  const std::string file = std::filesystem::absolute(args.positional[2], ec).string();

  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadWrite)) return kExitFailure;
  ImportFileTo(tracks[*track], ec ? args.positional[2] : file);
  // The loop switch and offsets the import set belong to the song's header.
  SongFileClose();
  return Status(session);
}

int RunClick(const Arguments& args) {
  int status = kExitUsage;
  const std::optional<int> track = TrackArgument(args, "click", &status);
  if (!track) return status;
  if (!args.Has("--bpm")) return UsageError("click", "'--bpm' is needed");
  const std::optional<int> bpm =
      IntOption(args, "click", "--bpm", kClickBpmLowest, kClickBpmHighest, 0, &status);
  if (!bpm) return status;
  const ClickSettings start;
  const std::optional<int> beats =
      IntOption(args, "click", "--beats", 1, kClickBeatsMost, start.beatsPerBar, &status);
  if (!beats) return status;
  const std::optional<int> level =
      IntOption(args, "click", "--level", kClickLevelLowest, 0, start.levelDb, &status);
  if (!level) return status;

  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadWrite)) return kExitFailure;
  WriteClickTrack(tracks[*track], {*bpm, *beats, *level});
  // The settings the click changed belong to the song's header.
  SongFileClose();
  return Status(session);
}

int RunBounce(const Arguments& args) {
  int status = kExitUsage;
  const std::optional<int> track = TrackArgument(args, "bounce", &status);
  if (!track) return status;
  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadWrite)) return kExitFailure;
  BounceTo(tracks[*track]);
  SongFileClose();
  return Status(session);
}

int RunExport(const Arguments& args) {
  if (ExportFormatOf(args.positional[1]) == ExportFormat::None) {
    return UsageError("export", "OUT must end in wav, ogg, flac or mp3");
  }
  int status = kExitUsage;
  const int songMs = SongSeconds * 1000;
  const std::optional<int> armed = IntOption(args, "export", "--armed", 0, TrackCount, 0, &status);
  if (!armed) return status;
  const std::optional<int> in = IntOption(args, "export", "--in", 0, songMs, 0, &status);
  if (!in) return status;
  const std::optional<int> out = IntOption(args, "export", "--out", 0, songMs, songMs, &status);
  if (!out) return status;
  if (*out < *in) return UsageError("export", "the out marker lies before the in marker");

  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadOnly)) return kExitFailure;
  song.armedTrack = *armed;
  song.markerInMs = *in;
  song.markerInPx = MarkerMsToPx(*in);
  song.markerOutMs = *out;
  song.markerOutPx = MarkerMsToPx(*out);
  ExportMixTo(args.positional[1]);
  // Exporting leaves the song as it was.
  SongFileCloseOnly();
  return Status(session);
}

int RunExportTracks(const Arguments& args) {
  const std::string& folder = args.positional[1];
  CoreSession session;
  if (!OpenSong(session, args.positional[0], SongAccess::ReadOnly)) return kExitFailure;
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "svltool: %s: %s\n", folder.c_str(), std::strerror(errno));
    SongFileCloseOnly();
    return kExitFailure;
  }
  ExportTracksTo(folder, args.Has("--flac") ? ExportFormat::Flac : ExportFormat::Wav);
  SongFileCloseOnly();
  return Status(session);
}
