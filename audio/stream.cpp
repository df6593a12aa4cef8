#include "audio/stream.h"

#include <algorithm>
#include <cstring>

#include "audio/capture.h"
#include "audio/latency_measure.h"
#include "audio/mixer.h"
#include "audio/playback.h"
#include "audio/recording.h"
#include "audio/reverb.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"
#include "song/song_state.h"

uint32_t ClockUpdate() {
  const uint32_t now = platform().ClockMs();
  // However long the wait (a stopped process), the position stays in the song.
  song.positionMs = static_cast<int>(
      std::clamp<int64_t>(int64_t{song.positionMs} + (now - runState.clockTick), 0, SongMs));
  runState.clockTick = now;
  return now;
}

int TransportStart() {
  // The devices are the run's from here.
  LatencyCancel();
  PlayReconnect();
  EffectReset();
  if (song.workBuffer) std::memset(song.workBuffer.get(), 0, TrackRegionBytes);
  runState.meterPhase = 0;

  int s = std::clamp(song.positionMs, 0, SongMs);
  if (song.markerInMs != 0) {
    s = std::max(song.markerInMs - kPreRollMs, 0) / 1000 * 1000;
  } else if (song.armedTrack != 0) {
    // Playback sounds from the whole second; a take captured from a fraction
    // would land that much later than the accompaniment the performer heard.
    s = s / 1000 * 1000;
  }
  song.positionMs = s;
  runState.startOffset = MsToByteOffset(s);
  runState.audibleSecond = song.ringSecond = s / 1000;
  LoopsSeek(s / 1000);

  if (song.armedTrack != 0) {
    // Without a song the take would be thrown away at the stop.
    if (!RequireOpenSong() || !RecordStart()) return 0;
  } else {
    PlayPrefill();
    PlayQueue();
  }
  runState.clockTick = platform().ClockMs();
  song.running = 1;
  return 0;
}

int TransportStop() {
  song.running = 0;
  ClockUpdate();
  // The clock may have passed the end since the last tick; the song has no later
  // place to pause at.
  song.positionMs = std::min(song.positionMs, SongMs);
  runState.stopOffset = MsToByteOffset(song.positionMs);
  PlayReset();
  if (song.armedTrack != 0) RecordStop();
  MetersReset();
  return 0;
}

int WaveMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* header = reinterpret_cast<WaveHeader*>(lParam);
  switch (message) {
    case MM_WOM_DONE:
      // Only our own buffers of the device's current run: a stop's returns are
      // stale by the time they arrive, and a new run has its own.
      if (wParam == waveOut().Generation() && IsOutputHeader(header)) {
        PlayRefill(*header);
      }
      return 1;
    case MM_WIM_CLOSE:
      if (wParam == waveIn().Generation()) CaptureClosed();
      LatencyProgress();
      return 1;
    case MM_WIM_DATA:
      if (wParam == waveIn().Generation() && header != nullptr) CaptureData(*header);
      LatencyProgress();
      return 1;
    default:
      return 0;
  }
}

int SoundDeviceLost(uintptr_t generation, intptr_t which) {
  if (which == 0) return PlayDeviceLost(generation);
  return CaptureActive() && generation == waveIn().Generation() ? 1 : 0;
}

void MetersReset() {
  for (int t = 1; t <= TrackCount; ++t) {
    tracks[t].meterLevel = 0;
    NoticeMeterChanged(t);
  }
}
