#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "base/buffer.h"
#include "panel/commands.h"
#include "panel/strips.h"
#include "panel_fixture.h"

namespace {

using namespace geometry;
using BuildTest = PanelTest;

// The control sits at `at` and shows the skin from `cutFrom`'s top-left corner.
void ExpectControl(int c, Rect at, Rect cutFrom) {
  const ControlManager& cm = controlManager;
  EXPECT_EQ(cm.x[c], at.left) << c;
  EXPECT_EQ(cm.y[c], at.top) << c;
  EXPECT_EQ(cm.width[c], at.Width()) << c;
  EXPECT_EQ(cm.height[c], at.Height()) << c;
  EXPECT_EQ(cm.spriteX[c], cutFrom.left) << c;
  EXPECT_EQ(cm.spriteY[c], cutFrom.top) << c;
}

// Where controls overlap, the one added later takes the press and is drawn over
// the others: the order of the table matters, not the numbers.
TEST_F(BuildTest, AddsTheControlsInTableOrder) {
  std::vector<int> order = {backgroundControl};
  order.insert(order.end(), std::begin(glyphCells), std::end(glyphCells));
  order.insert(order.end(), {markerBar, markerPen, inMarkerHandle, outMarkerHandle, newButton,
                             openButton, saveButton, helpButton, bannerArea, importButton,
                             exportButton, playButton, stopButton, pauseButton});
  for (int t = 1; t <= 8; ++t) order.push_back(speakerButton[t]);
  for (int t = 1; t <= 8; ++t) order.push_back(armButton[t]);
  order.insert(order.end(), std::begin(effectImage), std::end(effectImage));
  for (int t = 1; t <= 8; ++t) order.push_back(effectButton[t]);
  for (int t = 1; t <= 8; ++t)
    order.insert(order.end(), {volumeLit[t], volumeUnlit[t], volumeCatcher[t]});
  order.insert(order.end(), {positionBar, positionLit, positionCatcher});
  for (int t = 1; t <= 8; ++t) order.insert(order.end(), {meterLit[t], meterUnlit[t]});
  order.insert(order.end(), {progressBlank, progressEmpty, progressFull});
  // Every control of the table is one of these, each once.
  EXPECT_EQ(controlManager.controlCount, 168);
  ASSERT_EQ(order.size() + 1, static_cast<size_t>(controlManager.controlCount));
  EXPECT_GE(order.front(), 1);
  EXPECT_LT(order.back(), controlManager.controlCount);
  for (size_t i = 1; i < order.size(); ++i) EXPECT_LT(order[i - 1], order[i]) << i;

  ExpectControl(backgroundControl, kPanel, kPanel);
  ExpectControl(glyphCells[40], {0, 0, kGlyphWidth, kGlyphHeight}, Glyph('A'));
  ExpectControl(markerBar, kMarkerBar, kMarkerBar);
  ExpectControl(inMarkerHandle, MarkerHandle(0), kMarkerPen);
  ExpectControl(outMarkerHandle, MarkerHandle(kMarkerMaxPx), kMarkerPen);
  ExpectControl(bannerArea, kBanner, kBanner);
  ExpectControl(playButton, kPlay, kPlay);
  ExpectControl(progressEmpty, kProgressWell, kProgressEmpty);
  ExpectControl(progressFull, kProgressWell, kProgressFull);
  for (int t = 1; t <= 8; ++t) {
    ExpectControl(speakerButton[t], Speaker(t), Speaker(t));
    ExpectControl(armButton[t], Arm(t), Arm(t));
    // Effect, slider and meter all show track 1's artwork.
    ExpectControl(effectButton[t], Effect(t), kEffectOff);
    ExpectControl(volumeCatcher[t], Volume(t), Volume(1));
    ExpectControl(meterUnlit[t], Meter(t), Meter(1));
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
  const Point newButtonAt = Middle(kNew);
  EXPECT_EQ(Shown(newButtonAt.x, newButtonAt.y), NormalAt(newButtonAt.x, newButtonAt.y));
  // Volume 80: lit over its first 80 columns, then the slider's left end unlit.
  const Rect v = Volume(4);
  const Rect art = Volume(1);
  EXPECT_EQ(Shown(v.left, v.top), LitAt(art.left, art.top));
  EXPECT_EQ(Shown(v.left + 79, v.bottom - 1), LitAt(art.left + 79, art.bottom - 1));
  EXPECT_EQ(Shown(v.left + 80, v.top), NormalAt(art.left, art.top));
  EXPECT_EQ(Shown(v.right - 1, v.top), NormalAt(art.left + 9, art.top));
  // Marker triangles: five lit rows, nine pixels wide at the top, narrowing to a
  // tip over their second on the position bar, in at 0 and out at the end.
  const Rect pen = kMarkerPen;
  for (const int p : {0, kMarkerMaxPx}) {
    const int tip = SecondX(p);
    EXPECT_EQ(Shown(tip - 4, pen.top), LitAt(pen.left, pen.top));
    EXPECT_EQ(Shown(tip + 4, pen.top), LitAt(pen.left + 8, pen.top));
    EXPECT_EQ(Shown(tip - 3, pen.top + 1), LitAt(pen.left, pen.top));
    EXPECT_EQ(Shown(tip - 4, pen.top + 1), NormalAt(tip - 4, pen.top + 1));
    EXPECT_EQ(Shown(tip, pen.top + 4), LitAt(pen.left, pen.top));
    EXPECT_EQ(Shown(tip - 1, pen.top + 4), NormalAt(tip - 1, pen.top + 4));
  }
  // Position 0 and meters at rest show nothing lit; the time reads " 00:00".
  EXPECT_EQ(Shown(kPositionBar.left, kPositionBar.top),
            NormalAt(kPositionBar.left, kPositionBar.top));
  EXPECT_EQ(Shown(Meter(1).left, Meter(1).top), NormalAt(Meter(1).left, Meter(1).top));
  EXPECT_TRUE(GlyphAt(' ', kTimeField.left, kTimeField.top));
  EXPECT_TRUE(GlyphAt('0', kTimeField.left + kGlyphWidth, kTimeField.top));
  EXPECT_TRUE(GlyphAt(':', kTimeField.left + 3 * kGlyphWidth, kTimeField.top));
  EXPECT_TRUE(GlyphAt(' ', NameField(8).right - kGlyphWidth, NameField(8).top));
  // The progress bar stays hidden.
  const Point progressAt = Middle(kProgressWell);
  EXPECT_EQ(Shown(progressAt.x, progressAt.y), NormalAt(progressAt.x, progressAt.y));
}

TEST_F(BuildTest, PressesLandOnTheRightControl) {
  Click(Middle(kBanner));
  ASSERT_EQ(fakePlatform.pagesOpened.size(), 1u);
  EXPECT_EQ(fakePlatform.pagesOpened[0], programDir + "Help.htm#about");

  Click(10, 10);  // background swallows it
  EXPECT_EQ(fakePlatform.pagesOpened.size(), 1u);

  controlManager.MouseDown(Volume(3).left + 10, Volume(3).top + 6);
  EXPECT_EQ(controlManager.pressedControl, volumeCatcher[3]);
  EXPECT_EQ(tracks[3].volume, 10);
  controlManager.MouseUp(Volume(3).left + 10, 0);
}

TEST_F(BuildTest, MarkerHandlesCanBeGrabbedWhereverTheyStand) {
  const int y = MarkerHandle(0).top + 1;
  Drag(SecondX(1), y + 3, SecondX(100));                 // in marker to 100
  Drag(SecondX(kMarkerMaxPx + 1), y + 3, SecondX(104));  // out marker to 104: the handles overlap
  EXPECT_EQ(song.markerInPx, 100);
  EXPECT_EQ(song.markerOutPx, 104);
  controlManager.MouseDown(SecondX(102), y);
  EXPECT_EQ(controlManager.pressedControl, outMarkerHandle);
  controlManager.MouseMove(SecondX(200), y);
  controlManager.MouseUp(0, 0);
  EXPECT_EQ(song.markerOutPx, 200);
  EXPECT_EQ(song.markerInPx, 100);

  // Wherever a marker is dragged, a press on any corner of its new place grabs it again.
  for (const int p : {0, 13, 270, 280, 5}) {
    Drag(Middle(MarkerHandle(song.markerOutPx)).x, y, SecondX(p));
    ASSERT_EQ(song.markerOutPx, p);
    controlManager.MouseDown(MarkerHandle(p).left, MarkerHandle(p).bottom - 1);
    EXPECT_EQ(controlManager.pressedControl, outMarkerHandle) << p;
    controlManager.MouseUp(0, 0);
  }
  Drag(MarkerHandle(song.markerOutPx).left, y, kPositionBar.right);  // out back to the end
  for (const int p : {0, 13, 270}) {
    Drag(MarkerHandle(song.markerInPx).right - 1, y, SecondX(p));
    ASSERT_EQ(song.markerInPx, p);
    controlManager.MouseDown(MarkerHandle(p).left, MarkerHandle(p).top);
    EXPECT_EQ(controlManager.pressedControl, inMarkerHandle) << p;
    controlManager.MouseUp(0, 0);
  }
}

TEST_F(BuildTest, ProgressBarFillsToItsWidthAndFlushes) {
  EXPECT_EQ(ShowProgress(280), 1);
  const Rect well = kProgressWell;
  const Rect full = kProgressFull;
  EXPECT_EQ(controlManager.width[progressFull], well.Width());
  EXPECT_EQ(Shown(well.left, well.top), NormalAt(full.left, full.top));
  EXPECT_EQ(Shown(well.right - 1, well.bottom - 1), NormalAt(full.right - 1, full.bottom - 1));

  EXPECT_EQ(ShowProgress(140), 1);
  EXPECT_EQ(controlManager.width[progressFull], 76);
  EXPECT_EQ(Shown(well.left + 75, well.top), NormalAt(full.left + 75, full.top));
  EXPECT_EQ(Shown(well.left + 76, well.top),
            NormalAt(kProgressEmpty.left + 76, kProgressEmpty.top));
  EXPECT_EQ(ShowProgress(1), 1);
  EXPECT_EQ(controlManager.width[progressFull], 0);

  EXPECT_EQ(ShowProgress(0), 0);
  EXPECT_EQ(Shown(well.left, well.top), NormalAt(well.left, well.top));
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
  controlManager.x[inMarkerHandle] = MarkerHandle(10).left;

  OnNew();
  EXPECT_EQ(song.armedTrack, 0);
  EXPECT_EQ(controlManager.value[armButton[3]], 0);
  const Point arm = Middle(Arm(3));
  EXPECT_EQ(Shown(arm.x, arm.y), NormalAt(arm.x, arm.y));
  EXPECT_EQ(tracks[3].playOn, 0);  // not switched back on
  EXPECT_EQ(tracks[2].playOn, 0);
  EXPECT_EQ(controlManager.value[speakerButton[2]], 0);
  EXPECT_EQ(tracks[2].effectOn, 0);
  EXPECT_EQ(tracks[2].volume, 80);
  EXPECT_EQ(tracks[2].loopOn, 0);
  EXPECT_EQ(tracks[2].loopStart, 400);
  EXPECT_EQ(tracks[2].loopEnd, 800);
  EXPECT_EQ(tracks[2].meterLevel, 30);
  EXPECT_TRUE(GlyphAt(' ', NameField(2).left, NameField(2).top));
  EXPECT_EQ(controlManager.value[pauseButton], 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(std::string(timeText), " 00:00");
  EXPECT_EQ(song.markerInPx, 0);
  EXPECT_EQ(song.markerInMs, 0);
  EXPECT_EQ(controlManager.x[inMarkerHandle], MarkerHandle(0).left);
  EXPECT_EQ(controlManager.x[outMarkerHandle], MarkerHandle(kMarkerMaxPx).left);
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
  const Point name = Middle(NameField(2));
  textFields.FieldsMouseDown(name.x, name.y);
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
