#include "panel/transport.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "audio/latency_measure.h"
#include "audio/stream.h"
#include "base/bytes.h"
#include "base/settings.h"
#include "panel/controls.h"
#include "panel/strips.h"
#include "panel/text_fields.h"
#include "platform/platform.h"
#include "song/song_state.h"
#include "song/undo.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

namespace {

ControlManager& cm = controlManager;

constexpr char kLoopSetting[] = "loop_between_markers";

// The Stop button stays lit this long before the position returns to 0:00.
constexpr uint32_t kStopWaitMs = 250;

// Largest absolute sample of a stretch of 16-bit little-endian stereo audio.
int Peak(std::span<const uint8_t> bytes) {
  int peak = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int16_t sample = LoadI16(bytes.data() + i);
    peak = std::max(peak, sample < 0 ? -int{sample} : int{sample});
  }
  return peak;
}

constexpr int PeakToLevel(int peak) {
  return peak / 364;
}

// Limited before converting: the bytes of hours between two ticks (a stopped
// process) would not fit the offset, and the run would never reach its end.
int ClampedOffset(int64_t ms) {
  return MsToByteOffset(std::clamp<int64_t>(ms, 0, SongMs));
}

// The millisecond position the clock shows now, between ticks.
int NowMs() {
  const int64_t ms = int64_t{song.positionMs} + (platform().ClockMs() - runState.clockTick);
  return static_cast<int>(std::clamp<int64_t>(HeardMs(ms), 0, SongMs));
}

}  // namespace

void OnPlay() {
  if (cm.value[playButton] != 0) {
    StopToStart();
    return;
  }
  EnsureAudibleTrack();
  SetButton(pauseButton, 0);
  SetButton(playButton, 1);
  TransportStart();
  // A recording that could not start leaves the transport idle.
  if (song.running == 0) SetButton(playButton, 0);
}

int EnsureAudibleTrack() {
  if (song.armedTrack != 0) return 0;
  for (int t = 1; t <= TrackCount; ++t) {
    if (tracks[t].playOn != 0) return 0;
  }
  tracks[1].playOn = 1;
  ShowSpeaker(1);
  return 1;
}

void OnStop() {
  SetButton(stopButton, 1);
  SetButton(pauseButton, 0);
  if (song.running != 0) {
    SetButton(playButton, 0);
    TransportStop();
  }
  // The lit square stays on screen for the length of the wait.
  platform().Flush();
  platform().SleepMs(kStopWaitMs);
  song.mixSecond = 0;
  song.positionMs = 0;
  song.positionSeconds = 0;
  ShowPosition();
  SetButton(stopButton, 0);
}

void OnPause() {
  if (cm.value[pauseButton] == 0) {
    SetButton(pauseButton, 1);
    if (song.running != 0) {
      SetButton(playButton, 0);
      TransportStop();
    }
  } else {
    SetButton(pauseButton, 0);
  }
}

void OnSoundDeviceLost() {
  const bool running = song.running != 0;
  const bool recording = running && song.armedTrack != 0;
  if (!running && !MeasuringLatency()) return;  // idle: the next Play connects again
  LatencyCancel();
  if (running) {
    // Stopped where it was, as a pause would: the take is written up to there.
    SetButton(playButton, 0);
    TransportStop();
    ShowPosition();
  }
  std::string text = "The sound device went away (its server stopped, or it was unplugged), so ";
  text += running ? "the transport stopped." : "the measurement stopped.";
  if (recording && CanUndo() != 0)
    text += " What was recorded until then is kept; Undo takes it back.";
  text += " Play connects again once the device is back.";
  platform().ShowMessage(text, "Error");
}

int StopToStart() {
  SetButton(playButton, 0);
  TransportStop();
  song.positionMs = 0;
  song.mixSecond = 0;
  song.positionSeconds = 0;
  ShowPosition();
  return 0;
}

void OnPositionDrag() {
  if (song.running != 0) return;
  const int s = std::clamp(cm.dragX - geometry::kPositionOriginX, 0, static_cast<int>(SongSeconds));
  song.positionSeconds = s;
  song.mixSecond = s;
  song.positionMs = s * 1000;
  ShowPosition();
}

void ShowPosition() {
  cm.width[positionLit] = song.positionSeconds;
  cm.DrawNormal(positionBar);
  cm.DrawLit(positionLit);
  textFields.ShowTime();
}

void OnInMarkerDrag() {
  const int p = std::clamp(cm.dragX - geometry::kPositionOriginX, 0, geometry::kMarkerMaxPx);
  song.markerInPx = p;
  song.markerInMs = MarkerPxToMs(p);
  cm.x[inMarkerHandle] = geometry::MarkerX(p);
  if (song.markerOutPx < p) {
    song.markerOutPx = p;
    song.markerOutMs = song.markerInMs;
    cm.x[outMarkerHandle] = geometry::MarkerX(p);
  }
  ShowMarkers();
}

void OnOutMarkerDrag() {
  const int p = std::clamp(cm.dragX - geometry::kPositionOriginX, 0, geometry::kMarkerMaxPx);
  song.markerOutPx = p;
  song.markerOutMs = MarkerPxToMs(p);
  cm.x[outMarkerHandle] = geometry::MarkerX(p);
  if (p < song.markerInPx) {
    song.markerInPx = p;
    song.markerInMs = song.markerOutMs;
    cm.x[inMarkerHandle] = geometry::MarkerX(p);
  }
  ShowMarkers();
}

void ShowMarkers() {
  // A keyed marker falls between pixels, so the times are compared as well: an
  // out marker a few milliseconds before the in marker on the same pixel would
  // otherwise bound a recording that ends before it begins.
  if (song.markerOutPx < song.markerInPx || song.markerOutMs < song.markerInMs) {
    song.markerOutPx = song.markerInPx;
    song.markerOutMs = song.markerInMs;
  }
  cm.DrawNormal(markerBar);
  cm.x[inMarkerHandle] = geometry::MarkerX(song.markerInPx);
  DrawMarkerTriangle(song.markerInPx);
  cm.x[outMarkerHandle] = geometry::MarkerX(song.markerOutPx);
  DrawMarkerTriangle(song.markerOutPx);
}

void DrawMarkerTriangle(int p) {
  for (int k = 0; k < geometry::kMarkerRows; ++k) {
    const geometry::Rect row = geometry::MarkerRow(p, k);
    cm.SetPosition(markerPen, row.left, row.top);
    cm.width[markerPen] = row.Width();
    cm.height[markerPen] = row.Height();
    cm.DrawLit(markerPen);
  }
}

int SetInMarkerNow() {
  if (song.running == 0) return 0;
  song.markerInMs = NowMs();
  song.markerInPx = MarkerMsToPx(song.markerInMs);
  ShowMarkers();
  return 0;
}

int SetOutMarkerNow() {
  if (song.running == 0) return 0;
  song.markerOutMs = NowMs();
  song.markerOutPx = MarkerMsToPx(song.markerOutMs);
  ShowMarkers();
  return 0;
}

void TimerTick() {
  if (song.running == 0) return;
  const uint32_t now = platform().ClockMs();
  const int64_t oldMs = song.positionMs;
  const int64_t newMs = oldMs + (now - runState.clockTick);

  // The part of the second being heard that the tick covered.
  const int64_t f0 = (oldMs - runState.firstBlockMs) % 1000;
  int64_t f1 = (newMs - runState.firstBlockMs) % 1000;
  if (f1 < f0) f1 = 999;
  const int32_t a = MsToByteOffset(f0);
  const int32_t b = MsToByteOffset(f1);

  song.positionMs = static_cast<int>(std::min<int64_t>(newMs, INT32_MAX));
  runState.clockTick = now;

  // Where the song is heard: a run that loops never reaches the end.
  const int32_t c = ClampedOffset(HeardMs(oldMs));
  const int32_t d = ClampedOffset(HeardMs(newMs));

  const int slot = ((runState.audibleSecond % 3) + 3) % 3;
  for (int t = 1; t <= TrackCount; ++t) {
    if (tracks[t].playOn == 0 || t == song.armedTrack) continue;
    const std::span<const uint8_t> heard(tracks[t].audioRing[slot], BytesPerSecond);
    tracks[t].meterLevel = static_cast<int8_t>(PeakToLevel(Peak(heard.subspan(a, b - a))));
    ShowMeter(t);
  }

  if (runState.meterPhase == 1) {
    if (song.armedTrack != 0 && song.workBuffer) {
      const std::span<const uint8_t> captured(song.workBuffer.get() + c, std::max(d - c, 0));
      tracks[song.armedTrack].meterLevel = static_cast<int8_t>(PeakToLevel(Peak(captured)));
      ShowMeter(song.armedTrack);
    }
    runState.meterPhase = 0;
  } else {
    runState.meterPhase = 1;
  }

  song.positionSeconds = ByteOffsetToSeconds(d);
  ShowPosition();

  if (d == TrackRegionBytes) StopToStart();
}

void ApplyLoopSetting() {
  SetLoopBetweenMarkers(ReadSetting(kLoopSetting) == "1");
}

void ToggleLoopBetweenMarkers() {
  SetLoopBetweenMarkers(!LoopBetweenMarkers());
  // Not kept when the settings cannot be written, but used all the same.
  WriteSetting(kLoopSetting, LoopBetweenMarkers() ? "1" : "0");
}
