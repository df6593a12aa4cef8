#include "panel/strips.h"

#include <gtest/gtest.h>

#include <string>

#include "panel_fixture.h"
#include "song/song_commands.h"

namespace {

using namespace geometry;
using StripsTest = PanelTest;

bool LitButton(int c) {
  const int x = controlManager.x[c] + 2;
  const int y = controlManager.y[c] + 2;
  return Shown(x, y) == LitAt(x, y);
}

TEST_F(StripsTest, ArmingMovesBetweenTracksAndSwitchesTheOldOneOn) {
  Click(Middle(Arm(5)));
  EXPECT_EQ(song.armedTrack, 5);
  EXPECT_TRUE(LitButton(armButton[5]));
  EXPECT_EQ(controlManager.value[armButton[5]], 1);
  EXPECT_EQ(tracks[5].playOn, 0);

  Click(Middle(Speaker(2)));  // track 2 heard before it is armed
  ASSERT_EQ(tracks[2].playOn, 1);
  Click(Middle(Arm(2)));
  EXPECT_EQ(song.armedTrack, 2);
  EXPECT_EQ(controlManager.value[armButton[5]], 0);
  EXPECT_FALSE(LitButton(armButton[5]));
  // Track 5 was silent before it was armed and is heard now.
  EXPECT_EQ(tracks[5].playOn, 1);
  EXPECT_EQ(controlManager.value[speakerButton[5]], 1);
  EXPECT_TRUE(LitButton(speakerButton[5]));
  EXPECT_EQ(tracks[2].playOn, 0);
  EXPECT_EQ(controlManager.value[speakerButton[2]], 0);
  EXPECT_FALSE(LitButton(speakerButton[2]));

  Click(Middle(Arm(2)));  // disarm
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(tracks[2].playOn, 1);
  EXPECT_TRUE(LitButton(speakerButton[2]));
  EXPECT_FALSE(LitButton(armButton[2]));
}

TEST_F(StripsTest, SpeakerOfTheArmedTrackDisarmsItOnlyWhenStopped) {
  Click(Middle(Arm(4)));
  song.running = 1;
  Click(Middle(Speaker(4)));
  EXPECT_EQ(song.armedTrack, 4);
  EXPECT_EQ(tracks[4].playOn, 0);
  EXPECT_TRUE(LitButton(armButton[4]));
  // Arm buttons are fixed while running, on every track.
  Click(Middle(Arm(4)));
  Click(Middle(Arm(6)));
  EXPECT_EQ(song.armedTrack, 4);
  EXPECT_EQ(controlManager.value[armButton[6]], 0);
  // Other speakers still act.
  Click(Middle(Speaker(7)));
  EXPECT_EQ(tracks[7].playOn, 1);
  song.running = 0;

  Click(Middle(Speaker(4)));
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(tracks[4].playOn, 1);
  EXPECT_EQ(controlManager.value[armButton[4]], 0);
  EXPECT_FALSE(LitButton(armButton[4]));
  EXPECT_TRUE(LitButton(speakerButton[4]));
}

// Which speakers are on, as the buttons show them, track 1 first.
std::string Speakers() {
  std::string on;
  for (int t = 1; t <= TrackCount; ++t) {
    EXPECT_EQ(LitButton(speakerButton[t]), tracks[t].playOn != 0) << t;
    on += tracks[t].playOn != 0 ? '1' : '0';
  }
  return on;
}

TEST_F(StripsTest, SoloDuringARunLeavesTheArmedTrackAndPutsTheSpeakersBack) {
  NewSong();
  for (int t : {1, 2, 5}) Click(Middle(Speaker(t)));
  Click(Middle(Arm(8)));
  Click(Middle(kPlay));
  ASSERT_EQ(song.running, 1);
  CtrlClick(Middle(Speaker(3)));
  EXPECT_EQ(Speakers(), "00100000");
  CtrlClick(Middle(Speaker(8)));  // the armed track records, soloed or not
  EXPECT_EQ(song.armedTrack, 8);
  EXPECT_TRUE(LitButton(armButton[8]));
  CtrlClick(Middle(Speaker(3)));
  EXPECT_EQ(Speakers(), "11001000");
  EXPECT_EQ(song.armedTrack, 8);
}

TEST_F(StripsTest, SoloMovesAndKeepsWhatWasSwitchedSinceUntilAnotherSong) {
  for (int t : {1, 2}) Click(Middle(Speaker(t)));
  CtrlClick(Middle(Speaker(3)));
  CtrlClick(Middle(Speaker(6)));
  EXPECT_EQ(Speakers(), "00000100");
  Click(Middle(Speaker(7)));  // by hand: stays as the user left it
  Click(Middle(Speaker(6)));
  CtrlClick(Middle(Speaker(6)));
  EXPECT_EQ(Speakers(), "11000010");

  CtrlClick(Middle(Speaker(4)));
  NewSong();
  Click(Middle(Speaker(5)));
  CtrlClick(Middle(Speaker(4)));  // a solo of its own, not the last song's end
  EXPECT_EQ(Speakers(), "00010000");
}

TEST_F(StripsTest, SpeakerOffClearsTheMeter) {
  Click(Middle(Speaker(3)));
  tracks[3].meterLevel = 50;
  ShowMeter(3);
  const Rect meter = Meter(3);
  EXPECT_EQ(Shown(meter.left, meter.top), LitAt(Meter(1).left, Meter(1).top));
  Click(Middle(Speaker(3)));
  EXPECT_EQ(tracks[3].playOn, 0);
  EXPECT_EQ(tracks[3].meterLevel, 0);
  EXPECT_EQ(Shown(meter.left, meter.top), NormalAt(Meter(1).left, Meter(1).top));
  EXPECT_FALSE(LitButton(speakerButton[3]));
}

TEST_F(StripsTest, VolumeFollowsThePointerWithinItsRange) {
  // Rows of the slider: y on screen, artY in track 1's artwork.
  const Rect v = Volume(6);
  const int y = v.top + 2;
  const int artY = Volume(1).top + 2;
  controlManager.MouseDown(v.left + 10, y);
  EXPECT_EQ(tracks[6].volume, 10);
  EXPECT_EQ(Shown(v.left + 9, y), LitAt(v.left + 9, artY));
  EXPECT_EQ(Shown(v.left + 10, y), NormalAt(v.left, artY));
  controlManager.MouseMove(100, 0);  // far outside, still held
  EXPECT_EQ(tracks[6].volume, 0);
  EXPECT_EQ(controlManager.width[volumeLit[6]], 0);
  EXPECT_EQ(controlManager.width[volumeUnlit[6]], 90);
  EXPECT_EQ(Shown(v.left, y), NormalAt(v.left, artY));
  controlManager.MouseMove(900, 0);
  EXPECT_EQ(tracks[6].volume, 90);
  EXPECT_EQ(controlManager.width[volumeUnlit[6]], 0);
  EXPECT_EQ(Shown(v.right - 1, y), LitAt(v.right - 1, artY));
  controlManager.MouseUp(900, 0);
  controlManager.MouseMove(v.left + 30, y);
  EXPECT_EQ(tracks[6].volume, 90);
  EXPECT_EQ(tracks[5].volume, 80);

  // A volume that never came from the slider still draws inside it.
  tracks[1].volume = -20;
  ShowVolume(1);
  EXPECT_EQ(controlManager.width[volumeLit[1]], 0);
  EXPECT_EQ(controlManager.width[volumeUnlit[1]], 90);
}

TEST_F(StripsTest, MeterMovesInStepsOfSixPixels) {
  const Rect m = Meter(8);
  const Rect art = Meter(1);
  for (const auto& [level, width] :
       {std::pair{0, 0}, {1, 6}, {6, 6}, {7, 12}, {84, 84}, {85, 90}, {90, 90}}) {
    tracks[8].meterLevel = static_cast<int8_t>(level);
    ShowMeter(8);
    EXPECT_EQ(controlManager.width[meterLit[8]], width) << level;
    if (width > 0) {
      EXPECT_EQ(Shown(m.left + width - 1, m.top), LitAt(art.left + width - 1, art.top)) << level;
    }
    if (width < m.Width()) {
      EXPECT_EQ(Shown(m.left + width, m.top), NormalAt(art.left + width, art.top)) << level;
    }
  }
}

TEST_F(StripsTest, EffectTogglesBetweenItsTwoImages) {
  const Rect e = Effect(3);
  Click(Middle(e));
  EXPECT_EQ(tracks[3].effectOn, 1);
  EXPECT_EQ(Shown(e.left, e.top), NormalAt(kEffectOn.left, kEffectOn.top));
  Click(Middle(e));
  EXPECT_EQ(tracks[3].effectOn, 0);
  EXPECT_EQ(Shown(e.left, e.top), NormalAt(kEffectOff.left, kEffectOff.top));

  // A stray switch value from a file shows as on and toggles off.
  tracks[3].effectOn = 7;
  ShowEffect(3);
  EXPECT_EQ(Shown(e.right - 1, e.bottom - 1), NormalAt(kEffectOn.right - 1, kEffectOn.bottom - 1));
  Click(Middle(e));
  EXPECT_EQ(tracks[3].effectOn, 0);
  EXPECT_EQ(Shown(e.right - 1, e.bottom - 1),
            NormalAt(kEffectOff.right - 1, kEffectOff.bottom - 1));
  // Still clickable during a run, and only the pressed track changes.
  song.running = 1;
  Click(Middle(Effect(1)));
  song.running = 0;
  EXPECT_EQ(tracks[1].effectOn, 1);
  EXPECT_EQ(tracks[2].effectOn, 0);
}

}  // namespace
