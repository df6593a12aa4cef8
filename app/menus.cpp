#include "app/menus.h"

#include "audio/latency_measure.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/song_state.h"

namespace {

constexpr MenuEntry kAudioEntries[] = {{kMeasureLatencyCommand, "&Measure Latency…"}};
constexpr MenuEntry kHelpEntries[] = {{kAboutCommand, "&About"}};

constexpr Menu kMenus[] = {{"&Audio", kAudioEntries}, {"&Help", kHelpEntries}};

void MeasureLatencyCommand() {
  // As the panel's commands do: a run going stops first, its take kept.
  if (song.running != 0) StopToStart();
  MeasureLatency();
}

}  // namespace

std::span<const Menu> MenuBar() {
  return kMenus;
}

int RunMenuCommand(uintptr_t command) {
  switch (command) {
    case kAboutCommand:
      platform().ShowAbout();
      return 1;
    case kMeasureLatencyCommand:
      MeasureLatencyCommand();
      return 1;
    default:
      return 0;
  }
}
