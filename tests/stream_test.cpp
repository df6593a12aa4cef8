#include "audio/stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/playback.h"
#include "audio_test_support.h"
#include "panel/transport.h"

namespace {

using audiotest::AudioTest;
using audiotest::DeliverNotices;
using audiotest::PutSample;
using audiotest::SampleAt;

// Track 1 holds, in every sample of second s, the value s + 1 (at full volume the
// mix of second s is that value again), so each played buffer names its second.
class StreamTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    PutTrack(1, 0, SongSeconds,
             [](int32_t at) { return static_cast<int16_t>(at / BytesPerSecond + 1); });
    tracks[1].playOn = 1;
    tracks[1].volume = 100;
  }

  // The second a played buffer holds, -1 for silence, -2 for anything else.
  static int SecondOf(const std::vector<uint8_t>& buffer) {
    if (buffer.size() != static_cast<size_t>(BytesPerSecond)) return -2;
    const int first = SampleAt(buffer.data(), 0);
    for (int32_t at = 0; at < BytesPerSecond; at += 2) {
      if (SampleAt(buffer.data(), at) != first) return -2;
    }
    return first - 1;
  }

  static std::vector<int> PlayedSeconds() {
    std::vector<int> seconds;
    for (const auto& buffer : fakeWaveOut.written) seconds.push_back(SecondOf(buffer));
    return seconds;
  }

  // The device finishes n buffers and the engine handles their notices.
  static void Play(int n) {
    fakeWaveOut.CompleteOutput(n);
    DeliverNotices();
  }
};

TEST_F(StreamTest, StartupOpensTheOutputOnceAndQueuesNothing) {
  EXPECT_TRUE(fakeWaveOut.isOpen);
  EXPECT_TRUE(fakeWaveOut.queued.empty());
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_EQ(WaveMessage(WM_TIMER, 0, 0), 0);
  EXPECT_EQ(WaveMessage(MM_WOM_DONE, 0, 0), 1);
  EXPECT_EQ(WaveMessage(MM_WIM_CLOSE, 0, 0), 1);
  EXPECT_EQ(WaveMessage(MM_WIM_DATA, 0, 0), 1);
}

TEST_F(StreamTest, StartPositionFollowsTheInMarker) {
  struct Case {
    int markerIn, position, expectedMs, expectedSecond;
  };
  for (const Case c :
       {Case{10500, 0, 7000, 7}, Case{2000, 50000, 0, 0}, Case{0, 12345, 12345, 12}}) {
    song.markerInMs = c.markerIn;
    song.positionMs = c.position;
    fakeWaveOut.written.clear();
    TransportStart();
    EXPECT_EQ(song.positionMs, c.expectedMs);
    EXPECT_EQ(runState.startOffset, MsToByteOffset(c.expectedMs));
    EXPECT_EQ(runState.audibleSecond, c.expectedSecond);
    // Sound always begins at the whole second that holds the start.
    EXPECT_EQ(PlayedSeconds(), (std::vector<int>{c.expectedSecond, c.expectedSecond + 1}));
    EXPECT_EQ(song.mixSecond, c.expectedSecond + 3);
    EXPECT_EQ(song.running, 1);
    TransportStop();
  }
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(StreamTest, StartResetsCaptureAreaMeterPhaseAndClock) {
  song.workBuffer[0] = 9;
  song.workBuffer[TrackRegionBytes - 1] = 9;
  song.workBuffer[TrackRegionBytes] = 9;  // past the timeline: not the capture's
  runState.meterPhase = 1;
  fakePlatform.clock = 777;
  TransportStart();
  EXPECT_EQ(song.workBuffer[0], 0);
  EXPECT_EQ(song.workBuffer[TrackRegionBytes - 1], 0);
  EXPECT_EQ(song.workBuffer[TrackRegionBytes], 9);
  EXPECT_EQ(runState.meterPhase, 0);
  EXPECT_EQ(runState.clockTick, 777u);
}

TEST_F(StreamTest, EveryStartBeginsWithAnEmptyRoom) {
  tracks[1].effectOn = 1;
  TransportStart();
  Play(5);
  const std::vector<std::vector<uint8_t>> fresh(fakeWaveOut.written.begin(),
                                                fakeWaveOut.written.begin() + 3);
  // Stopped with the room ringing, then started again from the top.
  TransportStop();
  DeliverNotices();
  song.positionMs = 0;
  fakeWaveOut.written.clear();
  TransportStart();
  Play(1);
  ASSERT_GE(fakeWaveOut.written.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(fakeWaveOut.written[i], fresh[i]) << "second " << i;
  TransportStop();
}

TEST_F(StreamTest, EachReturnedBufferCarriesTheNextSecond) {
  TransportStart();
  EXPECT_EQ(runState.queueOffset, 2 * BytesPerSecond);
  Play(1);
  Play(1);
  Play(2);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(runState.audibleSecond, 4);
  EXPECT_EQ(song.mixSecond, runState.audibleSecond + 3);
  EXPECT_EQ(fakeWaveOut.queued.size(), 2u);
}

TEST_F(StreamTest, StopAtAFractionResumesTheClockThereAndTheSoundAtItsSecond) {
  song.positionMs = 3000;
  fakePlatform.clock = 1000;
  TransportStart();
  fakePlatform.Advance(9345);
  tracks[4].meterLevel = 50;
  TransportStop();
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(song.positionMs, 12345);
  EXPECT_EQ(runState.stopOffset, 2177656);
  EXPECT_EQ(tracks[4].meterLevel, 0);
  EXPECT_TRUE(fakeWaveOut.queued.empty());

  fakeWaveOut.written.clear();
  TransportStart();
  EXPECT_EQ(song.positionMs, 12345);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{12, 13}));
}

TEST_F(StreamTest, BuffersReturnedByAStopNeverRefillTheNextRun) {
  TransportStart();
  Play(1);
  TransportStop();
  // Play again before the stop's notices are handled: they must not count.
  fakeWaveOut.written.clear();
  TransportStart();
  const int32_t queued = runState.queueOffset;
  EXPECT_EQ(DeliverNotices(), 2);
  EXPECT_EQ(runState.queueOffset, queued);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{0, 1}));
  Play(1);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{0, 1, 2}));

  // Returned buffers that arrive while stopped are dropped even when current.
  TransportStop();
  fakeWaveOut.written.clear();
  EXPECT_EQ(fakePlatform.PumpTo(
                [](const Message& m) { WaveMessage(m.id, fakeWaveOut.Generation(), m.lParam); }),
            2);
  EXPECT_TRUE(fakeWaveOut.written.empty());
}

TEST_F(StreamTest, StreamDrainsAtTheEndOfTheTimeline) {
  song.positionMs = 278000;
  TransportStart();
  Play(1);
  Play(1);
  Play(1);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{278, 279, 280}));
  EXPECT_TRUE(fakeWaveOut.queued.empty());
  EXPECT_EQ(song.running, 1);  // the timer stops the run, not the stream
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(StreamTest, BuffersPastTheLastWholeSecondAreQueuedAsSilence) {
  TransportStart();  // leaves audio in both buffers
  TransportStop();
  DeliverNotices();
  fakeWaveOut.written.clear();
  song.positionMs = 279500;
  TransportStart();
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{279, -1}));
  EXPECT_EQ(SampleAt(fakeWaveOut.written[1].data(), 0), 0);
  Play(2);
  EXPECT_EQ(fakeWaveOut.written.size(), 2u);
  TransportStop();

  fakeWaveOut.written.clear();
  song.positionMs = 280500;
  TransportStart();
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{-1, -1}));
  TransportStop();

  // A position past the song starts at its end, never beyond the timeline.
  fakeWaveOut.written.clear();
  song.positionMs = 400000;
  TransportStart();
  EXPECT_EQ(song.positionMs, 281000);
  EXPECT_EQ(runState.startOffset, TrackRegionBytes);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{-1, -1}));
}

TEST_F(StreamTest, LoopingTrackStartsInPhaseWithTheSong) {
  tracks[1].playOn = 0;
  PutTrack(2, 0, 3, [](int32_t at) { return static_cast<int16_t>(at / BytesPerSecond + 101); });
  tracks[2].playOn = 1;
  tracks[2].volume = 100;
  tracks[2].loopOn = 1;
  tracks[2].loopStart = 0;
  tracks[2].loopEnd = 3 * BytesPerSecond;
  song.positionMs = 10000;
  TransportStart();
  Play(1);
  // Seconds 10, 11, 12 of the song are the loop's seconds 1, 2, 0.
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{101, 102, 100}));
}

// Every played byte, in the order the device played them.
std::vector<uint8_t> PlayedBytes() {
  std::vector<uint8_t> bytes;
  for (const auto& buffer : fakeWaveOut.written)
    bytes.insert(bytes.end(), buffer.begin(), buffer.end());
  return bytes;
}

// Every sample its own value, so any slip at a join shows.
int16_t Numbered(int32_t at) {
  return static_cast<int16_t>(at / 2 % 30011 + 1);
}

TEST_F(StreamTest, LoopRepeatsTheMarkedStretchSampleExactAndTheClockFollows) {
  PutTrack(1, 0, 6, Numbered);
  SetLoopBetweenMarkers(true);
  song.markerInMs = 1234;
  song.markerOutMs = 2801;
  const int32_t in = MsToByteOffset(1234);
  const int32_t out = MsToByteOffset(2801);
  // A track that loops each second plays, at every place, its phase there in
  // the song: it starts its pass again at the in marker as well.
  for (const uint8_t looping : {0, 1}) {
    tracks[1].loopOn = looping;
    tracks[1].loopEnd = looping * BytesPerSecond;
    std::vector<uint8_t> region(static_cast<size_t>(out - in));
    for (int32_t at = in; at < out; at += 2) {
      PutSample(region.data(), at - in, Numbered(looping != 0 ? at % BytesPerSecond : at));
    }
    fakeWaveOut.written.clear();
    song.positionMs = 5000;
    TransportStart();
    EXPECT_EQ(song.positionMs, 1234) << "straight from the in marker, no pre-roll";
    for (int i = 0; i < 3; ++i) Play(1);
    const std::vector<uint8_t> played = PlayedBytes();
    ASSERT_EQ(played.size(), 5u * BytesPerSecond);
    ASSERT_GT(played.size(), 3 * region.size());
    for (size_t at = 0; at < played.size(); at += region.size()) {
      const size_t n = std::min(region.size(), played.size() - at);
      EXPECT_TRUE(std::equal(region.begin(), region.begin() + n, played.begin() + at))
          << "pass " << at / region.size() << (looping != 0 ? " of a looping track" : "");
    }
    if (looping == 0) TransportStop();
  }

  // The clock runs on; what it shows stays between the markers.
  fakePlatform.Advance(3 * (2801 - 1234) + 100);
  TransportStop();
  EXPECT_NEAR(song.positionMs, 1334, 1);
  EXPECT_EQ(HeardMs(9000), 9000) << "a stopped run is no longer folded";
}

TEST_F(StreamTest, LoopIsLeftOutForMarkersTooCloseAndForRecording) {
  SetLoopBetweenMarkers(true);
  song.markerInMs = 10500;
  song.markerOutMs = 10550;
  TransportStart();
  EXPECT_EQ(song.positionMs, 7000) << "pre-roll, as with no loop";
  Play(1);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{7, 8, 9}));
  TransportStop();

  song.markerOutMs = 20000;
  song.armedTrack = 2;
  TransportStart();
  EXPECT_EQ(song.positionMs, 7000);
  EXPECT_EQ(runState.looping, 0);
  TransportStop();
}

TEST_F(StreamTest, FailedOpenKeepsRunningAndReportsEachStart) {
  AudioRelease();
  fakeWaveOut.openResult = 4;
  fakeWaveOut.failure = "Fake card: No such device";
  AudioInit();
  EXPECT_EQ(
      MessageTexts(),
      (std::vector<std::string>{"Error: Wave Output Init failed\nFake card: No such device"}));
  EXPECT_EQ(fakePlatform.beeps, 0);
  for (int run = 0; run < 2; ++run) {
    fakePlatform.messages.clear();
    TransportStart();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{
                                  "Error: waveOutWrite failed 1\nFake card: No such device",
                                  "Error: waveOutWrite failed 2\nFake card: No such device"}));
    EXPECT_EQ(song.running, 1);
    TransportStop();
  }
}

TEST_F(StreamTest, FailedBufferAllocationTouchesNoBufferLater) {
  AudioRelease();
  FailAllocationAfter(2);  // the mixer's two blocks succeed, playback buffer A fails
  AudioInit();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error: PlayStart"}));
  EXPECT_EQ(fakePlatform.beeps, 1);
  EXPECT_FALSE(fakeWaveOut.isOpen);
  fakePlatform.messages.clear();
  TransportStart();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error: waveOutWrite failed 1",
                                                      "Error: waveOutWrite failed 2"}));
  EXPECT_TRUE(fakeWaveOut.written.empty());
  TransportStop();
}

TEST_F(StreamTest, QueueResultsOtherThanStillPlayingAreReported) {
  fakeWaveOut.writeResult = kWaveStillPlaying;
  TransportStart();
  EXPECT_TRUE(fakePlatform.messages.empty());
  TransportStop();

  fakeWaveOut.writeResult = 11;
  TransportStart();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error: waveOutWrite failed 1",
                                                      "Error: waveOutWrite failed 2"}));
}

TEST_F(StreamTest, FailedRequeueIsReportedAndTheStreamGoesOnWithOneBuffer) {
  TransportStart();
  fakeWaveOut.writeResult = 11;
  Play(1);
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Error: WavePortOut - waveOutWrite failed (MM_WOM_DONE)"}));
  EXPECT_EQ(song.mixSecond, 4);  // the next second was still mixed
  fakeWaveOut.writeResult = kWaveOk;
  Play(1);
  EXPECT_EQ(PlayedSeconds(), (std::vector<int>{0, 1, 3}));
}

TEST_F(StreamTest, ClockUpdateAdvancesAcrossTheClockWrap) {
  song.positionMs = 1000;
  runState.clockTick = 0xFFFFFF00u;
  fakePlatform.clock = 0x100;
  EXPECT_EQ(ClockUpdate(), 0x100u);
  EXPECT_EQ(song.positionMs, 1512);
  EXPECT_EQ(runState.clockTick, 0x100u);
}

}  // namespace
