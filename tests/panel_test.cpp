#include <gtest/gtest.h>

#include <string>

#include "base/buffer.h"
#include "panel/commands.h"
#include "panel/strips.h"
#include "panel_fixture.h"

namespace {

using BuildTest = PanelTest;

struct Expect {
  int index, x, y, width, height, spriteX, spriteY;
};

void ExpectControl(const Expect& e) {
  const ControlManager& cm = controlManager;
  const int i = e.index;
  EXPECT_EQ(cm.x[i], e.x) << i;
  EXPECT_EQ(cm.y[i], e.y) << i;
  EXPECT_EQ(cm.width[i], e.width) << i;
  EXPECT_EQ(cm.height[i], e.height) << i;
  EXPECT_EQ(cm.spriteX[i], e.spriteX) << i;
  EXPECT_EQ(cm.spriteY[i], e.spriteY) << i;
}

TEST_F(BuildTest, AddsTheControlsInTableOrder) {
  EXPECT_EQ(controlManager.controlCount, 168);
  EXPECT_EQ(backgroundControl, 1);
  EXPECT_EQ(glyphCells[0], 2);
  EXPECT_EQ(glyphCells[79], 81);
  EXPECT_EQ(markerBar, 82);
  EXPECT_EQ(outMarkerHandle, 85);
  EXPECT_EQ(newButton, 86);
  EXPECT_EQ(bannerArea, 90);
  EXPECT_EQ(exportButton, 92);
  EXPECT_EQ(pauseButton, 95);
  EXPECT_EQ(speakerButton[1], 96);
  EXPECT_EQ(armButton[8], 111);
  EXPECT_EQ(effectImage[1], 113);
  EXPECT_EQ(effectButton[8], 121);
  EXPECT_EQ(volumeLit[2], 125);
  EXPECT_EQ(volumeCatcher[8], 145);
  EXPECT_EQ(positionCatcher, 148);
  EXPECT_EQ(meterLit[1], 149);
  EXPECT_EQ(meterUnlit[8], 164);
  EXPECT_EQ(progressBlank, 165);
  EXPECT_EQ(progressFull, 167);

  ExpectControl({backgroundControl, 0, 0, 514, 371, 0, 0});
  ExpectControl({glyphCells[40], 0, 0, 6, 8, 198, 371});
  ExpectControl({markerBar, 155, 304, 290, 5, 155, 304});
  ExpectControl({inMarkerHandle, 155, 299, 9, 10, 155, 304});
  ExpectControl({outMarkerHandle, 435, 299, 9, 10, 155, 304});
  ExpectControl({bannerArea, 0, 344, 517, 30, 0, 344});
  ExpectControl({playButton, 251, 105, 39, 41, 251, 105});
  ExpectControl({progressEmpty, 286, 84, 152, 10, 515, 42});
  ExpectControl({progressFull, 286, 84, 152, 10, 515, 52});
  for (int t = 1; t <= 8; ++t) {
    const int y = StripY(t);
    ExpectControl({speakerButton[t], 134, y, 21, 18, 134, y});
    ExpectControl({armButton[t], 155, y, 26, 18, 155, y});
    // Effect, slider and meter all show track 1's artwork.
    ExpectControl({effectButton[t], 326, y + 4, 18, 12, 326, 153});
    ExpectControl({volumeCatcher[t], 350, y + 4, 90, 12, 350, 153});
    ExpectControl({meterUnlit[t], 350, y + 1, 90, 3, 350, 150});
    EXPECT_EQ(controlManager.tag[speakerButton[t]], t);
    EXPECT_EQ(controlManager.tag[armButton[t]], t);
    EXPECT_EQ(controlManager.tag[effectButton[t]], t);
    EXPECT_EQ(controlManager.tag[volumeCatcher[t]], t);
    EXPECT_EQ(controlManager.pressHandler[speakerButton[t]], &OnSpeaker);
    EXPECT_EQ(controlManager.pressHandler[armButton[t]], &OnArm);
    EXPECT_EQ(controlManager.pressHandler[effectButton[t]], &OnEffect);
    EXPECT_EQ(controlManager.dragHandler[volumeCatcher[t]], &OnVolumeDrag);
    EXPECT_EQ(controlManager.dragHandler[volumeLit[t]], nullptr);
  }
  EXPECT_EQ(controlManager.dragHandler[positionCatcher], &OnPositionDrag);
  EXPECT_EQ(controlManager.dragHandler[inMarkerHandle], &OnInMarkerDrag);
  EXPECT_EQ(controlManager.pressHandler[backgroundControl], nullptr);
}

TEST_F(BuildTest, StartsAsAnEmptySong) {
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(song.markerOutMs, 281000);
  EXPECT_EQ(song.markerOutPx, 280);
  EXPECT_NE(song.workBuffer, nullptr);
  for (int t = 0; t <= 8; ++t) EXPECT_EQ(tracks[t].index, t);
  for (int t = 1; t <= 8; ++t) {
    EXPECT_EQ(tracks[t].volume, 80);
    EXPECT_EQ(tracks[t].playOn, 0);
    EXPECT_EQ(tracks[t].effectOn, 0);
    EXPECT_EQ(std::string(tracks[t].name), std::string(21, ' '));
  }
}

TEST_F(BuildTest, FirstPictureShowsEachPartInItsLook) {
  EXPECT_EQ(Shown(5, 5), NormalAt(5, 5));
  EXPECT_EQ(Shown(60, 60), NormalAt(60, 60));  // New button
  // Volume 80: lit from 350 to 429, then the slider's left end unlit.
  const int y = StripY(4) + 4;
  EXPECT_EQ(Shown(350, y), LitAt(350, 153));
  EXPECT_EQ(Shown(429, y + 11), LitAt(429, 164));
  EXPECT_EQ(Shown(430, y), NormalAt(350, 153));
  EXPECT_EQ(Shown(439, y), NormalAt(359, 153));
  // Marker triangles: five lit rows narrowing around 159 (in) and 439 (out).
  for (const int p : {0, 280}) {
    EXPECT_EQ(Shown(p + 155, 304), LitAt(155, 304));
    EXPECT_EQ(Shown(p + 163, 304), LitAt(163, 304));
    EXPECT_EQ(Shown(p + 156, 305), LitAt(155, 304));
    EXPECT_EQ(Shown(p + 155, 305), NormalAt(p + 155, 305));
    EXPECT_EQ(Shown(p + 159, 308), LitAt(155, 304));
    EXPECT_EQ(Shown(p + 158, 308), NormalAt(p + 158, 308));
  }
  // Position 0 and meters at rest show nothing lit; the time reads " 00:00".
  EXPECT_EQ(Shown(159, 309), NormalAt(159, 309));
  EXPECT_EQ(Shown(350, StripY(1) + 1), NormalAt(350, 150));
  EXPECT_TRUE(GlyphAt(' ', 331, 123));
  EXPECT_TRUE(GlyphAt('0', 337, 123));
  EXPECT_TRUE(GlyphAt(':', 349, 123));
  EXPECT_TRUE(GlyphAt(' ', 190 + 6 * 20, 155 + 18 * 7));
  // The progress bar stays hidden.
  EXPECT_EQ(Shown(300, 88), NormalAt(300, 88));
}

TEST_F(BuildTest, PressesLandOnTheRightControl) {
  Click(10, 360);  // banner
  ASSERT_EQ(fakePlatform.pagesOpened.size(), 1u);
  EXPECT_EQ(fakePlatform.pagesOpened[0], "file://" + programDir + "Help.htm#about");

  Click(10, 10);  // background swallows it
  EXPECT_EQ(fakePlatform.pagesOpened.size(), 1u);

  controlManager.MouseDown(360, StripY(3) + 10);
  EXPECT_EQ(controlManager.pressedControl, volumeCatcher[3]);
  EXPECT_EQ(tracks[3].volume, 10);
  controlManager.MouseUp(360, 0);
}

TEST_F(BuildTest, MarkerHandlesCanBeGrabbedWhereverTheyStand) {
  Drag(160, 303, 159 + 100);  // in marker to 100
  Drag(440, 303, 159 + 104);  // out marker to 104: handles overlap at 259..263
  EXPECT_EQ(song.markerInPx, 100);
  EXPECT_EQ(song.markerOutPx, 104);
  controlManager.MouseDown(261, 300);
  EXPECT_EQ(controlManager.pressedControl, outMarkerHandle);
  controlManager.MouseMove(159 + 200, 300);
  controlManager.MouseUp(0, 0);
  EXPECT_EQ(song.markerOutPx, 200);
  EXPECT_EQ(song.markerInPx, 100);

  // Wherever a marker is dragged, a press on its new place grabs it again.
  for (const int p : {0, 13, 270, 280, 5}) {
    const int at = song.markerOutPx + 155 + 4;
    Drag(at, 300, 159 + p);
    ASSERT_EQ(song.markerOutPx, p);
    controlManager.MouseDown(p + 155, 308);
    EXPECT_EQ(controlManager.pressedControl, outMarkerHandle) << p;
    controlManager.MouseUp(0, 0);
  }
  Drag(song.markerOutPx + 155, 300, 440);  // out back to 280
  for (const int p : {0, 13, 270}) {
    Drag(song.markerInPx + 155 + 8, 300, 159 + p);
    ASSERT_EQ(song.markerInPx, p);
    controlManager.MouseDown(p + 155, 299);
    EXPECT_EQ(controlManager.pressedControl, inMarkerHandle) << p;
    controlManager.MouseUp(0, 0);
  }
}

TEST_F(BuildTest, ProgressBarFillsToItsWidthAndFlushes) {
  EXPECT_EQ(ShowProgress(280), 1);
  EXPECT_EQ(controlManager.width[progressFull], 152);
  EXPECT_EQ(Shown(286, 84), NormalAt(515, 52));
  EXPECT_EQ(Shown(437, 93), NormalAt(666, 61));

  EXPECT_EQ(ShowProgress(140), 1);
  EXPECT_EQ(controlManager.width[progressFull], 76);
  EXPECT_EQ(Shown(286 + 75, 84), NormalAt(515 + 75, 52));
  EXPECT_EQ(Shown(286 + 76, 84), NormalAt(515 + 76, 42));
  EXPECT_EQ(ShowProgress(1), 1);
  EXPECT_EQ(controlManager.width[progressFull], 0);

  EXPECT_EQ(ShowProgress(0), 0);
  EXPECT_EQ(Shown(286, 84), NormalAt(286, 84));
  EXPECT_EQ(fakePlatform.flushes, 4);
}

TEST_F(BuildTest, NewSongResetsWhatTheSongOwns) {
  controlManager.currentControl = armButton[3];
  OnArm();
  tracks[2].playOn = 1;
  tracks[2].effectOn = 1;
  tracks[2].volume = 12;
  tracks[2].loopOn = 1;
  tracks[2].loopStart = 400;
  tracks[2].loopEnd = 800;
  tracks[2].meterLevel = 30;
  tracks[2].name[0] = 'B';
  controlManager.value[pauseButton] = 1;
  song.positionMs = 65000;
  song.positionSeconds = 65;
  song.markerInPx = 10;
  song.markerInMs = MarkerPxToMs(10);
  controlManager.x[inMarkerHandle] = 165;

  OnNew();
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(controlManager.value[armButton[3]], 0);
  EXPECT_EQ(Shown(160, StripY(3)), NormalAt(160, StripY(3)));
  EXPECT_EQ(tracks[3].playOn, 0);  // not switched back on
  EXPECT_EQ(tracks[2].playOn, 0);
  EXPECT_EQ(controlManager.value[speakerButton[2]], 0);
  EXPECT_EQ(tracks[2].effectOn, 0);
  EXPECT_EQ(tracks[2].volume, 80);
  EXPECT_EQ(tracks[2].loopOn, 0);
  EXPECT_EQ(tracks[2].loopStart, 400);
  EXPECT_EQ(tracks[2].loopEnd, 800);
  EXPECT_EQ(tracks[2].meterLevel, 30);
  EXPECT_TRUE(GlyphAt(' ', 190, 155 + 18));
  EXPECT_EQ(controlManager.value[pauseButton], 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(std::string(timeText), " 00:00");
  EXPECT_EQ(song.markerInPx, 0);
  EXPECT_EQ(song.markerInMs, 0);
  EXPECT_EQ(controlManager.x[inMarkerHandle], 155);
  EXPECT_EQ(controlManager.x[outMarkerHandle], 435);
}

TEST(MixerInitTest, WithoutTheWorkBufferThereIsNoPanelAndNothingDraws) {
  controlManager.LoadSkin();
  textFields.Init();
  fakePlatform.Reset();
  FailAllocationAfter(0);
  EXPECT_EQ(MixerInit(), 0);
  FailAllocationAfter(-1);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0],
            (ShownMessage{"MixerInit - memory allocation failed", "Error"}));
  EXPECT_EQ(controlManager.controlCount, 1);
  EXPECT_EQ(song.workBuffer, nullptr);

  // The fields exist before the panel; pressing and typing into them must not draw.
  const std::vector<uint32_t> before = controlManager.backSurface.pixels;
  textFields.FieldsMouseDown(200, 175);
  EXPECT_EQ(textFields.focusField, 2);
  textFields.FieldsKey('x');
  textFields.ShowAllFields();
  EXPECT_EQ(controlManager.backSurface.pixels, before);
  EXPECT_EQ(fakePlatform.invalidations, 0);
  textFields.Init();
  AppShutdown();
  fakePlatform.Reset();
}

// Every sprite the panel cuts, with the markers drawn and the bars at their
// widest, comes from inside the skin pictures.
TEST_F(BuildTest, EverySpriteLiesInsideTheSkin) {
  for (int t = 1; t <= TrackCount; ++t) tracks[t].volume = 90;
  for (int t = 1; t <= TrackCount; ++t) ShowVolume(t);
  ShowProgress(280);
  for (int c = 1; c < controlManager.controlCount; ++c) {
    EXPECT_GE(controlManager.spriteX[c], 0) << c;
    EXPECT_GE(controlManager.spriteY[c], 0) << c;
    EXPECT_LE(controlManager.spriteX[c] + controlManager.width[c], kSkinWidth) << c;
    EXPECT_LE(controlManager.spriteY[c] + controlManager.height[c], kSkinHeight) << c;
  }
}

}  // namespace
