#include "codecs/export.h"

#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "codecs/file_io.h"
#include "codecs/import.h"
#include "codecs/ogg.h"
#include "panel/panel.h"
#include "platform/platform.h"
#include "ui/control_manager.h"

std::string exportName;

void ExportMix() {
  static const std::vector<FileFilter> filters = {
      {"Wave File (*.wav)", "*.wav"},
      {"Ogg File (*.ogg)", "*.ogg"},
  };
  std::string name = exportName;
  if (!platform().SaveFileDialog(filters, name)) return;
  exportName = name;

  const std::string extension = LowerExtension(name);
  if (extension != "wav" && extension != "ogg") return;
  RenderMix();
  uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
  if (extension == "wav") {
    WriteWavFile(name, mix, TrackRegionBytes);
  } else {
    ExportSave(name, mix, TrackRegionBytes);
  }
}

void RenderMix() {
  // The lit Export button has to be on screen for the whole render.
  controlManager.Repaint();
  EffectReset();
  song.mixSecond = 0;
  song.ringSecond = 0;
  // Every loop starts at its beginning, as when the transport starts at 0:00.
  LoopsSeek(0);
  uint8_t* timeline = song.workBuffer.get() + kWavHeaderBytes;
  for (int second = 0; second < SongSeconds; ++second) {
    ShowProgress(second);
    MixBlock();
    std::memcpy(timeline + int64_t{second} * BytesPerSecond, mixBlock, BytesPerSecond);
  }
  ShowProgress(0);
}
