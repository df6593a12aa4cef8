#include "panel/strips.h"

#include <gtest/gtest.h>

#include "panel_fixture.h"

namespace {

using StripsTest = PanelTest;

int SpeakerX() {
  return 140;
}
int ArmX() {
  return 165;
}

bool LitButton(int c) {
  const int x = controlManager.x[c] + 2;
  const int y = controlManager.y[c] + 2;
  return Shown(x, y) == LitAt(x, y);
}

TEST_F(StripsTest, ArmingMovesBetweenTracksAndSwitchesTheOldOneOn) {
  Click(ArmX(), StripY(5) + 5);
  EXPECT_EQ(song.armedTrack, 5);
  EXPECT_TRUE(LitButton(armButton[5]));
  EXPECT_EQ(controlManager.value[armButton[5]], 1);
  EXPECT_EQ(tracks[5].playOn, 0);

  Click(SpeakerX(), StripY(2) + 5);  // track 2 heard before it is armed
  ASSERT_EQ(tracks[2].playOn, 1);
  Click(ArmX(), StripY(2) + 5);
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

  Click(ArmX(), StripY(2) + 5);  // disarm
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(tracks[2].playOn, 1);
  EXPECT_TRUE(LitButton(speakerButton[2]));
  EXPECT_FALSE(LitButton(armButton[2]));
}

TEST_F(StripsTest, SpeakerOfTheArmedTrackDisarmsItOnlyWhenStopped) {
  Click(ArmX(), StripY(4) + 5);
  song.running = 1;
  Click(SpeakerX(), StripY(4) + 5);
  EXPECT_EQ(song.armedTrack, 4);
  EXPECT_EQ(tracks[4].playOn, 0);
  EXPECT_TRUE(LitButton(armButton[4]));
  // Arm buttons are fixed while running, on every track.
  Click(ArmX(), StripY(4) + 5);
  Click(ArmX(), StripY(6) + 5);
  EXPECT_EQ(song.armedTrack, 4);
  EXPECT_EQ(controlManager.value[armButton[6]], 0);
  // Other speakers still act.
  Click(SpeakerX(), StripY(7) + 5);
  EXPECT_EQ(tracks[7].playOn, 1);
  song.running = 0;

  Click(SpeakerX(), StripY(4) + 5);
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(tracks[4].playOn, 1);
  EXPECT_EQ(controlManager.value[armButton[4]], 0);
  EXPECT_FALSE(LitButton(armButton[4]));
  EXPECT_TRUE(LitButton(speakerButton[4]));
}

TEST_F(StripsTest, SpeakerOffClearsTheMeter) {
  Click(SpeakerX(), StripY(3) + 5);
  tracks[3].meterLevel = 50;
  ShowMeter(3);
  EXPECT_EQ(Shown(350, StripY(3) + 1), LitAt(350, 150));
  Click(SpeakerX(), StripY(3) + 5);
  EXPECT_EQ(tracks[3].playOn, 0);
  EXPECT_EQ(tracks[3].meterLevel, 0);
  EXPECT_EQ(Shown(350, StripY(3) + 1), NormalAt(350, 150));
  EXPECT_FALSE(LitButton(speakerButton[3]));
}

TEST_F(StripsTest, VolumeFollowsThePointerWithinItsRange) {
  const int y = StripY(6) + 6;
  controlManager.MouseDown(360, y);
  EXPECT_EQ(tracks[6].volume, 10);
  EXPECT_EQ(Shown(359, y), LitAt(359, 155));
  EXPECT_EQ(Shown(360, y), NormalAt(350, 155));
  controlManager.MouseMove(100, 0);  // far outside, still held
  EXPECT_EQ(tracks[6].volume, 0);
  EXPECT_EQ(controlManager.width[volumeLit[6]], 0);
  EXPECT_EQ(controlManager.width[volumeUnlit[6]], 90);
  EXPECT_EQ(Shown(350, y), NormalAt(350, 155));
  controlManager.MouseMove(900, 0);
  EXPECT_EQ(tracks[6].volume, 90);
  EXPECT_EQ(controlManager.width[volumeUnlit[6]], 0);
  EXPECT_EQ(Shown(439, y), LitAt(439, 155));
  controlManager.MouseUp(900, 0);
  controlManager.MouseMove(380, y);
  EXPECT_EQ(tracks[6].volume, 90);
  EXPECT_EQ(tracks[5].volume, 80);

  // A volume that never came from the slider still draws inside it.
  tracks[1].volume = -20;
  ShowVolume(1);
  EXPECT_EQ(controlManager.width[volumeLit[1]], 0);
  EXPECT_EQ(controlManager.width[volumeUnlit[1]], 90);
}

TEST_F(StripsTest, MeterMovesInStepsOfSixPixels) {
  const int y = StripY(8) + 1;
  for (const auto& [level, width] :
       {std::pair{0, 0}, {1, 6}, {6, 6}, {7, 12}, {84, 84}, {85, 90}, {90, 90}}) {
    tracks[8].meterLevel = static_cast<int8_t>(level);
    ShowMeter(8);
    EXPECT_EQ(controlManager.width[meterLit[8]], width) << level;
    if (width > 0) {
      EXPECT_EQ(Shown(350 + width - 1, y), LitAt(350 + width - 1, 150)) << level;
    }
    if (width < 90) {
      EXPECT_EQ(Shown(350 + width, y), NormalAt(350 + width, 150)) << level;
    }
  }
}

TEST_F(StripsTest, EffectTogglesBetweenItsTwoImages) {
  const int y = StripY(3) + 4;
  Click(330, y + 2);
  EXPECT_EQ(tracks[3].effectOn, 1);
  EXPECT_EQ(Shown(326, y), NormalAt(326, 171));  // the effect-on label
  Click(330, y + 2);
  EXPECT_EQ(tracks[3].effectOn, 0);
  EXPECT_EQ(Shown(326, y), NormalAt(326, 153));

  // A stray switch value from a file shows as on and toggles off.
  tracks[3].effectOn = 7;
  ShowEffect(3);
  EXPECT_EQ(Shown(343, y + 11), NormalAt(343, 182));
  Click(330, y + 2);
  EXPECT_EQ(tracks[3].effectOn, 0);
  EXPECT_EQ(Shown(343, y + 11), NormalAt(343, 164));
  // Still clickable during a run, and only the pressed track changes.
  song.running = 1;
  Click(330, StripY(1) + 6);
  song.running = 0;
  EXPECT_EQ(tracks[1].effectOn, 1);
  EXPECT_EQ(tracks[2].effectOn, 0);
}

}  // namespace
