#include "codecs/export.h"

#include <cstring>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "codecs/file_io.h"
#include "codecs/import.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"
#include "platform/platform.h"
#include "song/notices.h"

int ExportMixTo(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension != "wav" && extension != "ogg") return 0;
  // Without the blocks allocated at start-up there is nothing to render into:
  // the export is refused the way the start-up said it.
  if (runState.mixBlock == nullptr || !song.workBuffer) {
    platform().Beep();
    platform().ShowMessage("Error: PlayStart", "Error");
    return 0;
  }
  RenderMix();
  uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
  if (extension == "wav") return WriteWavFile(path, mix, TrackRegionBytes);
  return ExportSave(path, mix, TrackRegionBytes);
}

void RenderMix() {
  EffectReset();
  song.mixSecond = 0;
  song.ringSecond = 0;
  // Every loop starts at its beginning, as when the transport starts at 0:00.
  LoopsSeek(0);
  uint8_t* timeline = song.workBuffer.get() + kWavHeaderBytes;
  for (int second = 0; second < SongSeconds; ++second) {
    NoticeProgress(second);
    MixBlock();
    std::memcpy(timeline + int64_t{second} * BytesPerSecond, runState.mixBlock, BytesPerSecond);
  }
  NoticeProgress(0);
}
