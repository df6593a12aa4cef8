#include "codecs/imported_audio.h"

#include <cctype>
#include <string>

#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/undo.h"

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

std::string TrackNameFromPath(std::string_view path) {
  std::string_view name = path.substr(path.find_last_of('/') + 1);
  // "drums.wav" is "drums"; ".wav" stays a name.
  if (const size_t dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  std::string shown;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    // The panel draws ASCII alone: a character of other scripts, however many
    // bytes it takes, shows as one mark.
    if (b >= 0x80 && b < 0xC0) continue;
    shown += b >= ' ' && b <= '~' ? c : '_';
  }
  return shown;
}

int StoreImportedAudio(Track& track, const uint8_t* audio, int32_t length, std::string_view path,
                       int32_t loopStart) {
  // A full disk (or no song file at all) must not pass for an import: the user
  // would go on working on a track that holds only part of the file, or nothing.
  if (!ReplaceTrackAudio(UndoKind::Import, track, audio, length)) {
    platform().ShowMessage("Not enough disk space to import the file", "Error");
    return 0;
  }
  ApplyLoopName(track, path, loopStart, length);
  // Imported backing is meant to be heard; an armed track stays silent for its take.
  if (track.index != song.armedTrack) track.playOn = 1;
  if (TrackUnnamed(track)) SetTrackName(track, TrackNameFromPath(path));
  FinishUndoStep();
  NoticeSongLoaded();
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
