#include "app/menus.h"

#include <string>

#include "app/audio_devices.h"
#include "audio/stream.h"
#include "panel/commands.h"
#include "panel/track_commands.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/undo.h"

namespace {

// Ctrl+I, Ctrl+H and Ctrl+M are Tab, Backspace and Enter to the track names, so
// Import has no shortcut.
constexpr MenuEntry kFileEntries[] = {
    {kNewCommand, "&New", "Ctrl+N"},
    {kOpenCommand, "&Open\u2026", "Ctrl+O"},
    {kSaveAsCommand, "Save &As\u2026", "Ctrl+S"},
    {kImportCommand, "&Import\u2026"},
    {kExportCommand, "&Export\u2026", "Ctrl+E"},
    {kExportBetweenMarkersCommand, "Export &Between Markers\u2026"},
    {kExportTracksCommand, "Export &Tracks\u2026"},
    {},
    {kQuitCommand, "&Quit", "Ctrl+Q"},
};
constexpr MenuEntry kEditEntries[] = {
    {kUndoCommand, "&Undo", "Ctrl+Z"},
    {kRedoCommand, "&Redo", "Ctrl+Shift+Z;Ctrl+Y"},
};
constexpr MenuEntry kTrackEntries[] = {
    {kClickTrackCommand, "&Click Track\u2026"},
    {kBounceCommand, "&Bounce to Track\u2026"},
    {},
    // L is typed into a name being edited, so the key is the panel's, not a shortcut.
    {kLoopCommand, "&Loop Between Markers", "", nullptr, LoopBetweenMarkers},
};
constexpr MenuEntry kAudioEntries[] = {
    {kMeasureLatencyCommand, "&Measure Latency…"},
    {kOutputDeviceCommand, "&Output Device", "", OutputDeviceChoices},
    {kInputDeviceCommand, "&Input Device", "", InputDeviceChoices},
    {kInputChannelsCommand, "Input &Channels", "", InputChannelChoices},
};
constexpr MenuEntry kHelpEntries[] = {{kHelpCommand, "Sonavel &Help", "F1"},
                                      {kAboutCommand, "&About"}};

constexpr Menu kMenus[] = {{"&File", kFileEntries},
                           {"&Edit", kEditEntries},
                           {"&Track", kTrackEntries},
                           {"&Audio", kAudioEntries},
                           {"&Help", kHelpEntries}};

// What the front end's menu shows now, as far as it was told.
struct ShownEntry {
  std::string text;
  bool enabled = true;
  bool known = false;
};
ShownEntry shownUndo;
ShownEntry shownRedo;

void Show(ShownEntry& shown, uintptr_t command, const std::string& text, bool enabled) {
  if (shown.known && shown.text == text && shown.enabled == enabled) return;
  shown = {text, enabled, true};
  platform().SetMenuEntry(command, text, enabled);
}

}  // namespace

std::span<const Menu> MenuBar() {
  return kMenus;
}

int RunMenuCommand(uintptr_t command, intptr_t choice) {
  switch (command) {
    case kAboutCommand:
      platform().ShowAbout();
      return 1;
    case kHelpCommand:
      OnHelp();
      return 1;
    case kNewCommand:
      OnNew();
      return 1;
    case kOpenCommand:
      OnOpen();
      return 1;
    case kSaveAsCommand:
      OnSave();
      return 1;
    case kImportCommand:
      OnImport();
      return 1;
    case kExportCommand:
      OnExport();
      return 1;
    case kExportBetweenMarkersCommand:
      OnExportBetweenMarkers();
      return 1;
    case kExportTracksCommand:
      OnExportTracks();
      return 1;
    case kQuitCommand:
      platform().CloseWindow();
      return 1;
    case kUndoCommand:
      UndoLastChange();
      return 1;
    case kRedoCommand:
      RedoLastChange();
      return 1;
    case kClickTrackCommand:
      ClickTrackCommand();
      return 1;
    case kBounceCommand:
      BounceCommand();
      return 1;
    case kLoopCommand:
      ToggleLoopBetweenMarkers();
      return 1;
    case kMeasureLatencyCommand:
      MeasureLatencyCommand();
      return 1;
    case kOutputDeviceCommand:
      ChooseOutputDevice(choice);
      return 1;
    case kInputDeviceCommand:
      ChooseInputDevice(choice);
      return 1;
    case kInputChannelsCommand:
      ChooseInputChannels(choice);
      return 1;
    default:
      return 0;
  }
}

void RefreshMenus() {
  Show(shownUndo, kUndoCommand, "&" + UndoText(), CanUndo() != 0);
  Show(shownRedo, kRedoCommand, "&" + RedoText(), CanRedo() != 0);
}

void ForgetMenuState() {
  shownUndo = {};
  shownRedo = {};
}
