#include "app/window_proc.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "app/audio_devices.h"
#include "app/keys.h"
#include "app/menus.h"
#include "app/window_title.h"
#include "audio/latency_measure.h"
#include "audio/playback.h"
#include "audio/recording.h"
#include "audio/stream.h"
#include "codecs/import.h"
#include "codecs/imported_audio.h"
#include "panel/commands.h"
#include "panel/panel.h"
#include "panel/text_fields.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_commands.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "ui/control_manager.h"

int firstPaint = 0;

namespace {

std::vector<std::string> startFiles;

// Files named at start are told by their content and never written unless they
// are songs. A song named alone is opened as Open opens one (when it cannot be, a
// new song starts); sound files go into the tracks of a new working song, one
// each, as drops on the panel put them; anything else is refused by the import.
void OpenStartFiles() {
  const std::vector<std::string> files = std::exchange(startFiles, {});
  if (files.size() == 1 && IsSongFile(files[0])) {
    if (OpenSongFrom(files[0]) == 0) SongFileInit();
    return;
  }
  if (SongFileInit() == 0) return;
  int next = 1;
  for (const std::string& file : files) {
    if (IsSongFile(file)) {
      platform().ShowMessage(
          "SongFileOpen - failed\n" + file + ": a song is opened only when it is named alone",
          "Error");
    } else if (next > TrackCount) {
      ReportImportFailure("ImportFileTo", "no empty track is left", file);
    } else {
      next += ImportFileTo(tracks[next], file);
    }
  }
}

void OnCreate() {
  // A new window: its menu bar and title show the table's texts until told otherwise.
  ForgetMenuState();
  ForgetTitle();
  controlManager.LoadSkin();
  textFields.Init();
  ApplyDeviceSettings();
  ApplyLoopSetting();
  MixerInit();
  RecordInit();
  platform().StartTimer(100);
}

void OnPaint() {
  controlManager.Repaint();
  if (firstPaint == 1) {
    firstPaint = 0;
    OpenStartFiles();
  }
}

void OnKey(int virtualKey) {
  if (virtualKey == VK_F1) return;
  const int code = MapKey(virtualKey);
  if (code != -1) textFields.FieldsKey(code);
}

intptr_t Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WaveMessage(message, wParam, lParam);
  const int px = PointParamX(lParam);
  const int py = PointParamY(lParam);
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      platform().StopTimer();
      platform().Quit(0);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      OnKey(static_cast<int>(wParam));
      return 0;
    case WM_CHAR:
      textFields.FieldsKey(MapChar(static_cast<int>(wParam)));
      return 0;
    case WM_COMMAND:
      RunMenuCommand(wParam, lParam);
      return 0;
    case WM_DROPFILES:
      DropFile(*reinterpret_cast<const std::string*>(wParam), px, py);
      return 0;
    case WM_WAVE_LOST:
      if (SoundDeviceLost(wParam, lParam) == 1) OnSoundDeviceLost();
      return 0;
    case WM_TIMER:
      TimerTick();
      LatencyTick();
      return 0;
    case WM_MOUSEMOVE:
      controlManager.MouseMove(px, py);
      return 0;
    case WM_LBUTTONDOWN:
      controlManager.MouseDown(px, py, static_cast<uint32_t>(wParam));
      textFields.FieldsMouseDown(px, py);
      return 0;
    case WM_LBUTTONUP:
      controlManager.MouseUp(px, py);
      return 0;
    default:
      return -1;
  }
}

}  // namespace

void AppStartup() {
  firstPaint = 1;
}

intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = Dispatch(message, wParam, lParam);
  // Whatever the message changed, the menu and the title show it before the next one.
  RefreshMenus();
  RefreshTitle();
  return result;
}

void SetStartFiles(const std::vector<std::string>& paths) {
  startFiles.clear();
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    // Made absolute now: a song's name is compared and saved against later.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    startFiles.push_back(ec ? path : absolute.string());
  }
}

void AppShutdown() {
  // Closing the window during a recording keeps the take, as a stop would.
  if (song.running != 0) TransportStop();
  LatencyCancel();
  SongFileClose();
  controlManager.ReleaseSkin();
  RecordRelease();
  AudioRelease();
  SongStateRelease();
  // The panel's handlers would draw into the skin just released.
  InstallSongNotices({});
}
