#include <string>

#include "base/paths.h"
#include "codecs/export.h"
#include "codecs/import.h"
#include "panel/panel.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/song_commands.h"
#include "song/song_state.h"
#include "ui/control_manager.h"

namespace {

// The button stays lit, and on screen, while its command holds the window.
void RunCommand(int button, void (*command)(), uint32_t waitMs = 0) {
  if (song.running != 0) StopToStart();
  controlManager.DrawLit(button);
  platform().Flush();
  if (waitMs != 0) platform().SleepMs(waitMs);
  command();
  controlManager.DrawNormal(button);
}

std::string HelpPage() {
  return "file://" + HelpFilePath();
}

}  // namespace

void OnNew() {
  RunCommand(
      newButton, [] { NewSong(); }, 300);
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

void OnHelp() {
  RunCommand(helpButton, [] { platform().OpenWebPage(HelpPage()); });
}

void OnBanner() {
  if (song.running != 0) StopToStart();
  platform().OpenWebPage(HelpPage() + "#about");
}
