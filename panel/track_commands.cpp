#include "panel/track_commands.h"

#include <string>
#include <vector>

#include "audio/latency_measure.h"
#include "codecs/bounce.h"
#include "codecs/click_track.h"
#include "panel/transport.h"
#include "platform/platform.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "ui/control_manager.h"

namespace {

// Stops what runs, as the buttons' commands do; 0 when there is no song to change.
bool Prepare() {
  if (song.running != 0) StopToStart();
  // A command holds the thread long enough to lose input a measurement needs.
  LatencyCancel();
  return RequireOpenSong() != 0;
}

// "Track 3" or, for a named one, "Track 3: Bass".
std::string TrackLabel(int t) {
  const std::string label = "Track " + std::to_string(t);
  const std::string name = ShownName(tracks[t]);
  return name.empty() ? label : label + ": " + name;
}

// The index in `offered` of the first track that holds no audio, else 0.
int FirstSilent(const std::vector<int>& offered) {
  for (size_t i = 0; i < offered.size(); ++i) {
    if (TrackHoldsAudio(tracks[offered[i]]) == 0) return static_cast<int>(i);
  }
  return 0;
}

FormField TrackField(const char* label, const std::vector<int>& offered) {
  FormField field{label, FirstSilent(offered), 0, static_cast<int>(offered.size()) - 1, {}};
  for (const int t : offered) field.choices.push_back(TrackLabel(t));
  return field;
}

// The track the form's choice names; a choice outside the list takes the first.
int Chosen(const FormField& field, const std::vector<int>& offered) {
  const bool valid = field.value >= 0 && field.value < static_cast<int>(offered.size());
  return offered[valid ? static_cast<size_t>(field.value) : 0];
}

}  // namespace

void ClickTrackCommand() {
  if (!Prepare()) return;
  std::vector<int> offered;
  for (int t = 1; t <= TrackCount; ++t) offered.push_back(t);
  const ClickSettings start;
  std::vector<FormField> fields = {
      {"&Tempo (beats per minute)", start.bpm, kClickBpmLowest, kClickBpmHighest, {}},
      {"&Beats per bar", start.beatsPerBar, 1, kClickBeatsMost, {}},
      TrackField("T&rack", offered),
      {"&Level (dBFS)", start.levelDb, kClickLevelLowest, 0, {}},
  };
  if (!platform().AskForm("Click Track", fields)) return;
  // The panel is whole on screen again while the track is written.
  controlManager.Repaint();
  WriteClickTrack(tracks[Chosen(fields[2], offered)],
                  {fields[0].value, fields[1].value, fields[3].value});
}

void BounceCommand() {
  if (!Prepare()) return;
  // A track that is heard would be mixed into itself, and an armed one is
  // waiting for a take.
  std::vector<int> offered;
  for (int t = 1; t <= TrackCount; ++t) {
    if (tracks[t].playOn == 0 && t != song.armedTrack) offered.push_back(t);
  }
  if (offered.empty()) {
    platform().ShowMessage(
        "Every track is heard: switch off the speaker of the track to bounce into.",
        "Bounce to Track");
    return;
  }
  if (!RequireBounceSources(tracks[offered.front()])) return;
  std::vector<FormField> fields = {TrackField("&Destination", offered)};
  if (!platform().AskForm("Bounce to Track", fields)) return;
  controlManager.Repaint();
  BounceTo(tracks[Chosen(fields[0], offered)]);
}
