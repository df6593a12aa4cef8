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

namespace {

// Shorter than this, the markers hold nothing worth going round: Play plays on.
constexpr int32_t kShortestLoopBytes = BytesPerSecond / 10;

bool loopBetweenMarkers = false;

// Recording goes on as ever: a take is never looped.
bool RunLoops() {
  return loopBetweenMarkers && song.armedTrack == 0 &&
         MsToByteOffset(song.markerOutMs) - MsToByteOffset(song.markerInMs) >= kShortestLoopBytes;
}

}  // namespace

void SetLoopBetweenMarkers(bool on) {
  loopBetweenMarkers = on;
}

bool LoopBetweenMarkers() {
  return loopBetweenMarkers;
}

int64_t HeardMs(int64_t clockMs) {
  if (runState.looping == 0) return clockMs;
  // By frames, as the mix goes round: the display keeps step with the sound
  // however many times it has gone round.
  const int64_t frame = clockMs * 441 / 10;
  const int64_t in = runState.loopIn / 4;
  const int64_t length = (runState.loopOut - runState.loopIn) / 4;
  if (frame < in + length) return clockMs;
  const int64_t heard = in + (frame - in) % length;
  // Rounded up: a frame's time rounded down, then up, is the time it came from.
  return (heard * 10 + 440) / 441;
}

uint32_t ClockUpdate() {
  const uint32_t now = platform().ClockMs();
  // However long the wait (a stopped process), the position stays in the song.
  song.positionMs = static_cast<int>(std::clamp<int64_t>(
      HeardMs(int64_t{song.positionMs} + (now - runState.clockTick)), 0, SongMs));
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
  runState.looping = RunLoops() ? 1 : 0;
  if (runState.looping != 0) {
    // Straight from the in marker's own frame: what is practised is what is heard.
    s = song.markerInMs;
    runState.loopIn = runState.loopNext = MsToByteOffset(song.markerInMs);
    runState.loopOut = MsToByteOffset(song.markerOutMs);
  } else if (song.markerInMs != 0) {
    s = std::max(song.markerInMs - kPreRollMs, 0) / 1000 * 1000;
  } else if (song.armedTrack != 0) {
    // Playback sounds from the whole second; a take captured from a fraction
    // would land that much later than the accompaniment the performer heard.
    s = s / 1000 * 1000;
  }
  song.positionMs = s;
  runState.startOffset = MsToByteOffset(s);
  runState.audibleSecond = song.ringSecond = s / 1000;
  // A straight run plays from the start of the second it is in.
  runState.firstBlockMs = runState.looping != 0 ? s : s / 1000 * 1000;
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
  runState.looping = 0;
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
