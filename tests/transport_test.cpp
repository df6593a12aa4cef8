#include "panel/transport.h"

#include <gtest/gtest.h>

#include <string>

#include "app/menus.h"
#include "audio/stream.h"
#include "base/bytes.h"
#include "base/settings.h"
#include "panel/strips.h"
#include "panel_fixture.h"
#include "song/song_file.h"

namespace {

using namespace geometry;
using TransportTest = PanelTest;

void PressButton(int c) {
  Click(controlManager.x[c] + 3, controlManager.y[c] + 3);
}

// A drag along the position bar, from its middle to x.
void DragPosition(int x) {
  const Point from = Middle(kPositionBar);
  Drag(from.x, from.y, x);
}

// A run as the engine leaves it at its start, without the devices.
void RunFrom(int ms) {
  song.running = 1;
  song.positionMs = ms;
  runState.firstBlockMs = ms / 1000 * 1000;
  runState.clockTick = fakePlatform.clock;
  runState.meterPhase = 0;
}

void PutSample(uint8_t* bytes, int at, int16_t value) {
  StoreI16(bytes + at, value);
}

TEST_F(TransportTest, PlayOnASilentSongSwitchesTrackOneOn) {
  controlManager.value[pauseButton] = 1;
  PressButton(playButton);
  EXPECT_EQ(tracks[1].playOn, 1);
  EXPECT_EQ(controlManager.value[speakerButton[1]], 1);
  EXPECT_EQ(controlManager.value[playButton], 1);
  EXPECT_EQ(controlManager.value[pauseButton], 0);
  EXPECT_EQ(song.running, 1);

  fakePlatform.Advance(5000);
  PressButton(playButton);  // Play while playing stops and rewinds
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(controlManager.value[playButton], 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(song.mixSecond, 0);
  EXPECT_EQ(std::string(timeText), " 00:00");
}

TEST_F(TransportTest, EnsureAudibleTrackLeavesAnArmedOrHeardSongAlone) {
  controlManager.currentControl = armButton[3];
  OnArm();
  EXPECT_EQ(EnsureAudibleTrack(), 0);
  EXPECT_EQ(tracks[1].playOn, 0);
  OnArm();  // disarmed: track 3 heard
  EXPECT_EQ(EnsureAudibleTrack(), 0);
  EXPECT_EQ(tracks[1].playOn, 0);
  tracks[3].playOn = 0;
  EXPECT_EQ(EnsureAudibleTrack(), 1);
  EXPECT_EQ(tracks[1].playOn, 1);
}

TEST_F(TransportTest, StopWaitsLitThenReturnsToZero) {
  DragPosition(SecondX(41));
  ASSERT_EQ(std::string(timeText), " 00:41");
  controlManager.value[pauseButton] = 1;
  PressButton(stopButton);
  EXPECT_EQ(fakePlatform.sleptMs, 250u);
  EXPECT_GE(fakePlatform.flushes, 1);
  EXPECT_EQ(std::string(timeText), " 00:00");
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(song.mixSecond, 0);
  EXPECT_EQ(controlManager.value[stopButton], 0);
  EXPECT_EQ(controlManager.value[pauseButton], 0);
  const Point stop = Middle(kStop);
  EXPECT_EQ(Shown(stop.x, stop.y), NormalAt(stop.x, stop.y));

  PressButton(playButton);
  fakePlatform.Advance(3000);
  PressButton(stopButton);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(controlManager.value[playButton], 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(fakePlatform.sleptMs, 500u);
}

TEST_F(TransportTest, PauseStopsWhereTheClockStoodAndToggles) {
  PressButton(playButton);
  fakePlatform.Advance(12300);
  PressButton(pauseButton);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, 12300);
  EXPECT_EQ(controlManager.value[pauseButton], 1);
  EXPECT_EQ(controlManager.value[playButton], 0);
  PressButton(pauseButton);
  EXPECT_EQ(controlManager.value[pauseButton], 0);
  EXPECT_EQ(song.positionMs, 12300);
  PressButton(pauseButton);  // while stopped: only lights
  EXPECT_EQ(controlManager.value[pauseButton], 1);
  EXPECT_EQ(song.running, 0);
}

TEST_F(TransportTest, PositionBarSetsWholeSecondsOnlyWhileStopped) {
  DragPosition(SecondX(41));
  EXPECT_EQ(song.positionSeconds, 41);
  EXPECT_EQ(song.mixSecond, 41);
  EXPECT_EQ(song.positionMs, 41000);
  EXPECT_EQ(std::string(timeText), " 00:41");
  const int y = kPositionBar.top + 1;
  EXPECT_EQ(Shown(SecondX(40), y), LitAt(SecondX(40), y));
  EXPECT_EQ(Shown(SecondX(41), y), NormalAt(SecondX(41), y));
  EXPECT_TRUE(GlyphAt('4', kTimeField.left + 4 * kGlyphWidth, kTimeField.top));

  DragPosition(1000);
  EXPECT_EQ(song.positionSeconds, 281);
  EXPECT_EQ(std::string(timeText), " 04:41");
  DragPosition(-50);
  EXPECT_EQ(song.positionSeconds, 0);

  RunFrom(0);
  DragPosition(SecondX(41));
  EXPECT_EQ(song.positionSeconds, 0);
  EXPECT_EQ(song.mixSecond, 0);
  song.running = 0;
}

TEST_F(TransportTest, MarkersPushAndPullEachOther) {
  // Presses on a handle at the x of its marker's second, or just inside its edges.
  const int y = MarkerHandle(0).top + 4;
  Drag(SecondX(1), y, SecondX(140));
  EXPECT_EQ(song.markerInPx, 140);
  EXPECT_EQ(song.markerInMs, 140500);
  Drag(SecondX(kMarkerMaxPx + 1), y, SecondX(100));  // out left past in pulls it along
  EXPECT_EQ(song.markerOutPx, 100);
  EXPECT_EQ(song.markerInPx, 100);
  EXPECT_EQ(song.markerInMs, song.markerOutMs);
  EXPECT_EQ(controlManager.x[inMarkerHandle], MarkerHandle(100).left);

  Drag(MarkerHandle(100).left + 1, y, SecondX(30));  // the out handle wins the overlap
  EXPECT_EQ(song.markerOutPx, 30);
  EXPECT_EQ(song.markerInPx, 30);
  Drag(MarkerHandle(30).left + 1, y, SecondX(1));
  EXPECT_EQ(song.markerOutMs, 1003);
  EXPECT_EQ(song.markerInMs, 1003);

  Drag(SecondX(1), y - 3, SecondX(2000));  // out to the end
  EXPECT_EQ(song.markerOutPx, 280);
  song.running = 1;  // markers move during a run too
  Drag(MarkerHandle(1).left + 1, y - 3, SecondX(2000));
  song.running = 0;
  EXPECT_EQ(song.markerInPx, 280);
  EXPECT_EQ(song.markerOutPx, 280);
  EXPECT_EQ(song.markerInMs, 281000);
  EXPECT_EQ(song.markerOutMs, 281000);
  // The bar is redrawn under the moved triangles.
  const Rect pen = kMarkerPen;
  EXPECT_EQ(Shown(MarkerX(100), pen.top), NormalAt(MarkerX(100), pen.top));
  EXPECT_EQ(Shown(MarkerX(kMarkerMaxPx), pen.top), LitAt(pen.left, pen.top));
}

TEST_F(TransportTest, KeysSetMarkersAtTheRunningPosition) {
  textFields.FieldsKey('i');
  EXPECT_EQ(song.markerInMs, 0);

  RunFrom(65000);
  fakePlatform.Advance(432);
  EXPECT_EQ(textFields.FieldsKey('I'), 0);
  EXPECT_EQ(song.markerInMs, 65432);
  EXPECT_EQ(song.markerInPx, 65);
  EXPECT_EQ(controlManager.x[inMarkerHandle], MarkerHandle(65).left);

  fakePlatform.Advance(1000);
  textFields.FieldsKey('o');
  EXPECT_EQ(song.markerOutMs, 66432);
  EXPECT_EQ(song.markerOutPx, 66);

  // Out keyed before in, even inside the same pixel, lands on the in marker.
  song.markerInMs = 70900;
  song.markerInPx = MarkerMsToPx(70900);
  fakePlatform.Advance(3300);  // 69,732 ms: pixel 70 as well
  SetOutMarkerNow();
  EXPECT_EQ(song.markerOutPx, 70);
  EXPECT_EQ(song.markerOutMs, 70900);
  song.running = 0;

  fakePlatform.Advance(5000);
  textFields.FieldsKey('O');
  EXPECT_EQ(song.markerOutMs, 70900);
}

// L with no name being edited turns the loop on and off as the menu does, and
// both keep it; while a name is edited, L is a letter of it.
TEST_F(TransportTest, LoopByKeyAndMenuIsKeptAndAPlayGoesRoundWithTheTimeShown) {
  EXPECT_FALSE(LoopBetweenMarkers()) << "off at first";
  textFields.FieldsKey('l');
  EXPECT_TRUE(LoopBetweenMarkers());
  EXPECT_EQ(ReadSetting("loop_between_markers"), "1");
  SetLoopBetweenMarkers(false);
  ApplyLoopSetting();
  EXPECT_TRUE(LoopBetweenMarkers()) << "read back as kept";

  song.markerInMs = 10000;
  song.markerOutMs = 12500;
  PressButton(playButton);
  for (int tick = 0; tick < 60; ++tick) {
    fakePlatform.Advance(100);
    TimerTick();
  }
  // Six seconds on: the stretch of 2.5 s went round twice and is 1 s in again.
  EXPECT_EQ(song.running, 1);
  EXPECT_EQ(song.positionSeconds, 11);
  EXPECT_EQ(std::string(timeText), " 00:11");
  PressButton(pauseButton);
  EXPECT_NEAR(song.positionMs, 11000, 1);

  RunMenuCommand(kLoopCommand);
  EXPECT_FALSE(LoopBetweenMarkers());
  EXPECT_EQ(ReadSetting("loop_between_markers"), "0");
  textFields.FieldsMouseDown(kNameX + 3, NameY(1) + 3);
  textFields.FieldsKey('L');
  EXPECT_FALSE(LoopBetweenMarkers());
  EXPECT_EQ(tracks[1].name[0], 'L');
}

TEST_F(TransportTest, TimerTickDrawsTheHeardMetersFromTheTickedPart) {
  TimerTick();  // stopped: nothing moves
  EXPECT_EQ(song.positionMs, 0);

  runState.audibleSecond = 4;  // slot 1
  for (int t = 1; t <= 8; ++t) std::fill_n(tracks[t].audioRing[1], BytesPerSecond, 0);
  tracks[2].playOn = 1;
  PutSample(tracks[2].audioRing[1], 102, -32768);
  tracks[4].playOn = 1;
  PutSample(tracks[4].audioRing[1], 17636, 3640);   // last sample of the first 100 ms
  PutSample(tracks[4].audioRing[1], 17640, 30000);  // the next tick's
  PutSample(tracks[4].audioRing[0], 200, 30000);    // another second's slot
  tracks[3].meterLevel = 33;                        // silent: kept
  PutSample(tracks[3].audioRing[1], 0, 30000);

  RunFrom(0);
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(song.positionMs, 100);
  EXPECT_EQ(runState.clockTick, fakePlatform.clock);
  EXPECT_EQ(tracks[2].meterLevel, 90);
  EXPECT_EQ(tracks[4].meterLevel, 10);
  EXPECT_EQ(tracks[3].meterLevel, 33);
  EXPECT_EQ(Shown(Meter(2).right - 1, Meter(2).top), LitAt(Meter(1).right - 1, Meter(1).top));

  TimerTick();  // no time passed: an empty stretch
  EXPECT_EQ(tracks[2].meterLevel, 0);
  EXPECT_EQ(tracks[4].meterLevel, 0);

  song.positionMs = 950;  // crossing into the next second reads to its end
  PutSample(tracks[2].audioRing[1], 176216, 7280);
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(tracks[2].meterLevel, 20);
  EXPECT_EQ(song.positionMs, 1050);
  EXPECT_EQ(song.positionSeconds, 1);
  EXPECT_EQ(std::string(timeText), " 00:01");
  song.running = 0;
}

TEST_F(TransportTest, InputMeterIsMeasuredEveryOtherTick) {
  controlManager.currentControl = armButton[5];
  OnArm();
  tracks[5].meterLevel = 0;
  std::fill_n(song.workBuffer.get(), MsToByteOffset(1000), 0);
  PutSample(song.workBuffer.get(), MsToByteOffset(100), -18200);  // captured in the 2nd tick
  PutSample(song.workBuffer.get(), MsToByteOffset(200), 32767);   // the 3rd tick's, not measured

  RunFrom(0);
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(tracks[5].meterLevel, 0);
  PutSample(song.workBuffer.get(), 40, 32767);  // before the 2nd tick's stretch
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(tracks[5].meterLevel, 50);
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(tracks[5].meterLevel, 50);
  song.running = 0;
}

TEST_F(TransportTest, RunStopsByItselfAtTheEndOfTheSong) {
  PressButton(playButton);
  song.positionMs = 280950;
  fakePlatform.Advance(100);
  TimerTick();
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(controlManager.value[playButton], 0);
  EXPECT_EQ(song.positionMs, 0);
  EXPECT_EQ(song.positionSeconds, 0);
  EXPECT_EQ(std::string(timeText), " 00:00");
}

TEST_F(TransportTest, APauseAfterTheEndBetweenTwoTicksStopsAtTheEnd) {
  PressButton(playButton);
  song.positionMs = 280950;
  fakePlatform.Advance(500);  // the end passed, and no tick came yet
  PressButton(pauseButton);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, 281000);
}

// A stopped process (a debugger, a suspended laptop) resumes with hours between
// two ticks: the run still ends at the song's end, and a pause lands there.
TEST_F(TransportTest, HoursBetweenTwoTicksStillEndTheRunAtTheEnd) {
  PressButton(playButton);
  fakePlatform.Advance(4 * 3600 * 1000);
  TimerTick();
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, 0);

  PressButton(playButton);
  fakePlatform.Advance(30u * 24 * 3600 * 1000);  // past the clock's signed range
  PressButton(pauseButton);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, SongMs);
}

TEST_F(TransportTest, CommandsStopTheRunFirst) {
  // Import asks for a file only when a song is open to take it.
  ASSERT_EQ(SongFileInit(), 1);
  struct Command {
    int* button;
    bool dialog;
  };
  for (const auto& [button, dialog] :
       {Command{&openButton, true}, Command{&saveButton, true}, Command{&importButton, true},
        Command{&exportButton, true}, Command{&helpButton, false}}) {
    fakePlatform.Reset();
    PressButton(playButton);
    fakePlatform.Advance(2000);
    PressButton(*button);
    EXPECT_EQ(song.running, 0) << *button;
    EXPECT_EQ(song.positionMs, 0) << *button;
    EXPECT_EQ(fakePlatform.dialogs.size(), dialog ? 1u : 0u) << *button;
    EXPECT_EQ(controlManager.value[*button], 0);
    const int x = controlManager.x[*button] + 3;
    const int y = controlManager.y[*button] + 3;
    EXPECT_EQ(Shown(x, y), NormalAt(x, y)) << *button;
  }
  EXPECT_EQ(fakePlatform.pagesOpened, std::vector<std::string>{programDir + "Help.htm"});
}

TEST_F(TransportTest, NewWaitsThenEmptiesTheSong) {
  tracks[6].name[0] = 'V';
  tracks[6].volume = 3;
  PressButton(playButton);
  PressButton(newButton);
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(fakePlatform.sleptMs, 300u);
  EXPECT_EQ(tracks[6].name[0], ' ');
  EXPECT_EQ(tracks[6].volume, 80);
  EXPECT_EQ(tracks[1].playOn, 0);
  EXPECT_EQ(Shown(60, 60), NormalAt(60, 60));
}

}  // namespace
