#include "audio/recording.h"

#include <algorithm>
#include <string>

#include "audio/capture.h"
#include "audio/dropout_report.h"
#include "audio/playback.h"
#include "audio/round_trip.h"
#include "platform/platform.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "song/undo.h"

namespace {

// The armed track's loop before the take switched it off, for Undo.
LoopSettings loopBefore;
// Nothing fed the input when the take started.
bool startedUnconnected = false;

// The take is kept as any other: Undo is how the track gets its audio back,
// when the undo copy could be made.
void TellUnconnected() {
  std::string text =
      "Nothing was connected to Sonavel's inputs, so this take is silence. Connect a source to "
      "them (on JACK: in_1 and in_2, with QjackCtl, Carla or jack_connect) and record again.";
  if (CanUndo() != 0) text += " Edit > Undo gives the track back what it had.";
  platform().ShowMessage(text, "Recording");
}

// Input still on its way when a take stops: a device's buffering, well under
// this (a quarter of a second).
constexpr int32_t kLateInputBytes = BytesPerSecond / 4;

void ShowError(const char* text) {
  platform().ShowMessage(text, "Error");
}

}  // namespace

int RecordInit() {
  CaptureRelease();
  RoundTripReportsForget();
  return 1;
}

int RecordStart() {
  // A take replaces the track's audio from the start of the run: it no longer
  // loops, even when the recording cannot start.
  Track& armed = tracks[song.armedTrack];
  loopBefore = LoopOf(armed);
  armed.loopOn = 0;
  PrepareUndo();
  // What was played along with timeline byte t comes back a round trip later:
  // capture is stored that much earlier, and its first round trip, the answer
  // to what sounded before the run, is dropped.
  runState.roundTripBytes = static_cast<int32_t>(RoundTripFrames()) * 4;
  uint8_t* timeline = song.workBuffer ? song.workBuffer.get() + runState.startOffset : nullptr;
  switch (CaptureOpen(timeline, TrackRegionBytes - runState.startOffset,
                      -int64_t{runState.roundTripBytes})) {
    case CaptureOpened::Yes:
      break;
    case CaptureOpened::NoMemory:
      platform().Beep();
      ShowError("Error: RecordStart");
      return 0;
    case CaptureOpened::NoDevice:
      platform().Beep();
      ShowError("Error: waveInOpen");
      return 0;
  }
  startedUnconnected = !waveIn().InputsConnected();
  PlayPrefill();
  waveIn().Start();
  PlayQueue();
  return 1;
}

int RecordStop() {
  if (!CaptureActive()) return 0;
  // Connected after the start, the take holds something worth keeping quietly.
  const bool silent = startedUnconnected && !waveIn().InputsConnected();
  // The whole take is stored and the device closed before this returns, so a
  // command that follows the stop finds the take on disk and no later notice
  // can touch this recording.
  const int64_t captured = CaptureEnd();
  // The last round trip before the stop was played to but has not come back:
  // the track keeps what it had there rather than silence in its place.
  const int32_t b = std::max(runState.startOffset, MsToByteOffset(song.markerInMs));
  int32_t c = std::min({runState.stopOffset - runState.roundTripBytes,
                        MsToByteOffset(song.markerOutMs), TrackRegionBytes});
  // So does whatever had not arrived at all when the stop ended the capture (a
  // device's own lag, one that stopped delivering). Where the song stood still
  // the clock ran ahead of it; beyond that, more than a moment missing is a
  // dropout to tell.
  const int64_t capturedTo = std::max<int64_t>(runState.startOffset + captured, b);
  const CaptureDropouts& dropouts = CaptureDropoutsFound();
  int32_t missingTail = 0;
  if (capturedTo < c) {
    const int64_t missing = c - capturedTo - dropouts.stalledBytes;
    if (missing > kLateInputBytes) missingTail = static_cast<int32_t>(missing);
    c = static_cast<int32_t>(capturedTo);
  }
  int result = 0;
  if (c > b) {
    result = 1;
    if (song.armedTrack != 0 && song.workBuffer) {
      Track& armed = tracks[song.armedTrack];
      KeepForUndo(UndoKind::Recording, armed, loopBefore, b, c - b);
      // The take lives only in memory until here: a write that falls short (a
      // full disk, no song file) must be said, or the user would believe it kept.
      if (FileWriteOrDropUndo(armed, song.workBuffer.get(), b, c - b) < c - b) {
        ShowError("Not enough disk space to save the recording");
      } else if (silent) {
        TellUnconnected();
      }
      FinishUndoStep();
    }
  }
  if (song.armedTrack != 0) {
    const std::string report =
        DropoutReport(song.armedTrack, dropouts, runState.startOffset, b, std::max(c, b),
                      missingTail, result == 1 && CanUndo() != 0);
    if (!report.empty()) platform().ShowMessage(report, "Recording");
  }
  return result;
}

void RecordRelease() {
  CaptureRelease();
}
