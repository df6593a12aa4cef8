#include "panel/commands.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "audio/latency_measure.h"
#include "audio/playback.h"
#include "base/paths.h"
#include "base/settings.h"
#include "codecs/export.h"
#include "codecs/import.h"
#include "codecs/stems.h"
#include "panel/controls.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/song_commands.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "song/undo.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

std::string saveName;
std::string exportName;
std::string tracksFolder;

namespace {

// The New button stays lit this long before the song is left.
constexpr uint32_t kNewWaitMs = 300;

// Only songs are offered; a file of another kind chosen all the same is refused
// by its content.
const std::vector<FileFilter> kSongFilters = {{"Sonavel File (*.svl)", "*.svl"}};

const std::vector<FileFilter> kExportFilters = {
    {"Wave File (*.wav)", "*.wav"},
    {"Ogg File (*.ogg)", "*.ogg"},
    {"FLAC File (*.flac)", "*.flac"},
    {"MP3 File (*.mp3)", "*.mp3"},
};
constexpr std::string_view kTrimSetting = "export_trim";
constexpr std::string_view kStemsFlacSetting = "export_tracks_flac";

// The button stays lit, and on screen, while its command holds the window.
void RunCommand(int button, const std::function<void()>& command, uint32_t waitMs = 0) {
  if (song.running != 0) StopToStart();
  // A command holds the thread long enough to lose input a measurement needs.
  LatencyCancel();
  controlManager.DrawLit(button);
  platform().Flush();
  if (waitMs != 0) platform().SleepMs(waitMs);
  command();
  controlManager.DrawNormal(button);
}

// The help page in the desktop's browser; without one the user is told where
// the page is, so it can be opened by hand.
void ShowHelpPage(std::string_view fragment) {
  const std::string path = HelpFilePath();
  if (platform().OpenLocalPage(path, fragment)) return;
  platform().ShowMessage(
      "No web browser could be started to show the help page. Open it in one yourself:\n" + path,
      "Help");
}

void NewCommand() {
  NewSong();
  SetButton(pauseButton, 0);
}

Track& ImportTarget() {
  return tracks[song.armedTrack != 0 ? song.armedTrack : 1];
}

}  // namespace

void OpenSong() {
  std::string name;
  if (!platform().OpenFileDialog({}, kSongFilters, name)) return;
  OpenSongFrom(name);
}

void SaveSongAs() {
  std::string name = saveName;
  if (!platform().SaveFileDialog({}, kSongFilters, name, nullptr)) return;
  saveName = name;
  SaveSongTo(name);
}

void ImportSoundFile() {
  // Choosing a file is no use when it has nowhere to go.
  if (!RequireOpenSong()) return;
  // Files are told by their content, so the last entry offers every file: a take
  // saved without an extension imports as well as one with.
  static const std::vector<FileFilter> filters = {
      {"Audio files",
       "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.caf;*.flac;*.ogg;*.oga;*.opus;*.mp3;*.m4a;*.m4b;"
       "*.aac;*.webm;*.mka;*.wma;*.ac3;*.mp4;*.mkv;*.mov"},
      {"WAV files", "*.wav;*.wave"},
      {"AIFF files", "*.aif;*.aiff;*.aifc"},
      {"CAF files", "*.caf"},
      {"FLAC files", "*.flac"},
      {"Ogg Vorbis files", "*.ogg;*.oga"},
      {"Opus files", "*.opus"},
      {"MP3 files", "*.mp3"},
      {"M4A and AAC files", "*.m4a;*.m4b;*.aac"},
      {"WebM and Matroska files", "*.webm;*.mka"},
      {"WMA files", "*.wma"},
      {"AC-3 files", "*.ac3"},
      // FFmpeg takes the first sound of a video.
      {"Video files", "*.mp4;*.mkv;*.mov;*.webm"},
      {"All files", "*"},
  };
  std::string path;
  if (!platform().OpenFileDialog("Import Sound File", filters, path)) return;
  // The lit Import button has to be on screen for the whole, possibly long, load.
  controlManager.Repaint();
  ImportFileTo(ImportTarget(), path);
}

void ExportMix() {
  // The choice is kept between runs: whoever trims once trims every time.
  DialogCheckBox trim{"Trim silence at the end", ReadSetting(kTrimSetting) == "1"};
  std::string name = exportName;
  if (!platform().SaveFileDialog("Export Mix", kExportFilters, name, &trim)) return;
  exportName = name;
  WriteSetting(kTrimSetting, trim.checked ? "1" : "0");
  // The lit Export button has to be on screen for the whole render.
  controlManager.Repaint();
  ExportMixTo(name, trim.checked ? ExportSpan::TrimmedEnd : ExportSpan::Whole);
}

void ExportBetweenMarkers() {
  std::string name = exportName;
  if (!platform().SaveFileDialog("Export Between Markers", kExportFilters, name, nullptr)) return;
  exportName = name;
  controlManager.Repaint();
  ExportMixTo(name, ExportSpan::BetweenMarkers);
}

void ExportTracks() {
  if (!RequireOpenSong()) return;
  DialogCheckBox flac{"FLAC instead of WAV", ReadSetting(kStemsFlacSetting) == "1"};
  std::string folder = tracksFolder;
  if (!platform().FolderDialog("Export Tracks", folder, &flac)) return;
  tracksFolder = folder;
  WriteSetting(kStemsFlacSetting, flac.checked ? "1" : "0");
  controlManager.Repaint();
  ExportTracksTo(folder, flac.checked ? ExportFormat::Flac : ExportFormat::Wav);
}

void UndoLastChange() {
  if (song.running != 0) StopToStart();
  Undo();
}

void RedoLastChange() {
  if (song.running != 0) StopToStart();
  Redo();
}

void MeasureLatencyCommand() {
  // A measurement already running starts afresh, as a run would.
  if (song.running != 0) StopToStart();
  LatencyCancel();
  PlayReconnect();
  MeasureLatency();
}

void OnNew() {
  RunCommand(newButton, NewCommand, kNewWaitMs);
}

void OnOpen() {
  RunCommand(openButton, OpenSong);
}

void OnSave() {
  RunCommand(saveButton, SaveSongAs);
}

void OnImport() {
  RunCommand(importButton, ImportSoundFile);
}

void OnExport() {
  RunCommand(exportButton, ExportMix);
}

void OnExportBetweenMarkers() {
  RunCommand(exportButton, ExportBetweenMarkers);
}

void OnExportTracks() {
  RunCommand(exportButton, ExportTracks);
}

void OnHelp() {
  RunCommand(helpButton, [] { ShowHelpPage(""); });
}

void DropFile(const std::string& path, int x, int y) {
  // A drop is no command: it does not stop a running transport, it is refused.
  if (song.running != 0) {
    platform().Beep();
    return;
  }
  // Told by content: a song renamed "take.wav" opens, a WAV named "take.svl"
  // imports, and the program never writes a song header into a sound file.
  if (IsSongFile(path)) {
    RunCommand(openButton, [&path] { OpenSongFrom(path); });
    return;
  }
  Track* target = &ImportTarget();
  for (int t = 1; t <= TrackCount; ++t) {
    if (geometry::Contains(geometry::Strip(t), x, y)) target = &tracks[t];
  }
  RunCommand(importButton, [&path, target] { ImportFileTo(*target, path); });
}

void OnBanner() {
  if (song.running != 0) StopToStart();
  ShowHelpPage("about");
}
