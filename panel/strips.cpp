#include "panel/strips.h"

#include "panel/controls.h"
#include "platform/platform.h"
#include "song/song_state.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

namespace {

ControlManager& cm = controlManager;

// The slider moves a pixel per volume step.
constexpr int kLoudest = 90;
static_assert(geometry::Volume(1).Width() == kLoudest);

// The tag of a strip control is its track; anything else would index past the strips.
int PressedTrack() {
  const int t = cm.tag[cm.currentControl];
  return t >= 1 && t <= TrackCount ? t : 0;
}

// A solo keeps the speakers as they were before it, to put them back at its
// end, and as it left them: a speaker switched since (by hand, an import, a
// bounce, Undo) keeps the user's newer choice. The armed track is never part of
// it: it records whatever is soloed.
struct Solo {
  int track = 0;  // 0: none
  uint8_t before[TrackCount + 1] = {};
  uint8_t left[TrackCount + 1] = {};
};
Solo solo;

void SwitchSpeaker(int t, bool on) {
  SetButton(speakerButton[t], on ? 1 : 0);
  tracks[t].playOn = on ? 1 : 0;
  if (!on) {
    tracks[t].meterLevel = 0;
    ShowMeter(t);
  }
}

void SoloTrack(int t) {
  if (solo.track == 0) {
    for (int u = 1; u <= TrackCount; ++u) solo.before[u] = tracks[u].playOn;
  }
  solo.track = t;
  for (int u = 1; u <= TrackCount; ++u) {
    if (u == song.armedTrack) continue;
    SwitchSpeaker(u, u == t);
    solo.left[u] = tracks[u].playOn;
  }
}

void EndSolo() {
  for (int u = 1; u <= TrackCount; ++u) {
    if (u == song.armedTrack || (tracks[u].playOn != 0) != (solo.left[u] != 0)) continue;
    SwitchSpeaker(u, solo.before[u] != 0);
  }
  solo.track = 0;
}

}  // namespace

void ForgetSolo() {
  solo.track = 0;
}

void OnSpeaker() {
  const int c = cm.currentControl;
  const int t = PressedTrack();
  if (t == 0) return;
  if (cm.pressKeys & MK_CONTROL) {
    if (t == solo.track) {
      EndSolo();
    } else if (t != song.armedTrack) {
      SoloTrack(t);
    }
    return;
  }
  // Disarming the track being recorded would end its take without storing it, so
  // the armed track's speaker waits for the run to end.
  if (song.running != 0 && song.armedTrack == t) return;
  const bool on = cm.value[c] == 0;
  SwitchSpeaker(t, on);
  if (on && song.armedTrack == t) {
    SetButton(armButton[t], 0);
    song.armedTrack = 0;
  }
}

void OnArm() {
  if (song.running != 0) return;
  const int c = cm.currentControl;
  const int t = PressedTrack();
  if (t == 0) return;
  if (cm.value[c] == 0) {
    const int u = song.armedTrack;
    if (u != 0) {
      SetButton(speakerButton[u], 1);
      tracks[u].playOn = 1;
      SetButton(armButton[u], 0);
    }
    song.armedTrack = t;
    SetButton(c, 1);
    SetButton(speakerButton[t], 0);
    tracks[t].playOn = 0;
  } else {
    song.armedTrack = 0;
    SetButton(c, 0);
    SetButton(speakerButton[t], 1);
    tracks[t].playOn = 1;
  }
}

void OnEffect() {
  const int t = PressedTrack();
  if (t == 0) return;
  tracks[t].effectOn = tracks[t].effectOn == 0 ? 1 : 0;
  ShowEffect(t);
}

void OnVolumeDrag() {
  const int t = PressedTrack();
  if (t == 0) return;
  int v = cm.dragX - geometry::Volume(t).left;
  if (v < 0) v = 0;
  if (v > kLoudest) v = kLoudest;
  tracks[t].volume = static_cast<int8_t>(v);
  ShowVolume(t);
}

void ShowSpeaker(int t) {
  SetButton(speakerButton[t], tracks[t].playOn != 0 ? 1 : 0);
}

void ShowVolume(int t) {
  int v = tracks[t].volume;
  if (v < 0) v = 0;
  if (v > kLoudest) v = kLoudest;
  const int left = geometry::Volume(t).left;
  cm.width[volumeLit[t]] = v;
  cm.x[volumeLit[t]] = left;
  cm.width[volumeUnlit[t]] = kLoudest - v;
  cm.x[volumeUnlit[t]] = left + v;
  cm.DrawLit(volumeLit[t]);
  cm.DrawNormal(volumeUnlit[t]);
}

void ShowEffect(int t) {
  // Only two images exist: any switch other than 0 shows as on.
  const int image = effectImage[tracks[t].effectOn != 0 ? 1 : 0];
  cm.x[image] = cm.x[effectButton[t]];
  cm.y[image] = cm.y[effectButton[t]];
  cm.DrawNormal(image);
}

void ShowMeter(int t) {
  constexpr int segment = geometry::kMeterSegment;
  cm.width[meterLit[t]] = (tracks[t].meterLevel + segment - 1) / segment * segment;
  cm.x[meterLit[t]] = geometry::Meter(t).left;
  cm.DrawNormal(meterUnlit[t]);
  cm.DrawLit(meterLit[t]);
}
