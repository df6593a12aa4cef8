#include "audio/recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/round_trip.h"
#include "audio_test_support.h"
#include "base/settings.h"

namespace {

using audiotest::AudioTest;
using audiotest::DeliverNotices;
using audiotest::SampleAt;

constexpr int16_t kOldTake = 7;
constexpr int kOldSeconds = 40;  // the old take's length; silence after it

// Every captured sample is numbered from the start of the take (never 0 or the
// old take's value), so a written byte tells where in the take it came from.
int16_t TakeSample(int64_t sampleIndex) {
  return static_cast<int16_t>(sampleIndex % 30000 + 10);
}

class RecordingTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    PutTrack(2, 0, kOldSeconds, [](int32_t) { return kOldTake; });
    song.armedTrack = 2;
    fed = 0;
  }

  // The card delivers `bytes` more of the take, in pieces no larger than one
  // capture buffer, each handled by the engine before the next arrives unless
  // the engine is `held` up meanwhile. Returns the bytes that found a buffer.
  int64_t Sing(int64_t bytes, bool held = false) {
    std::vector<uint8_t> piece;
    int64_t stored = 0;
    while (bytes > 0) {
      const int64_t n = std::min<int64_t>(bytes, 16384);
      piece.resize(static_cast<size_t>(n));
      for (int64_t i = 0; i < n; i += 2) {
        audiotest::PutSample(piece.data(), static_cast<int32_t>(i), TakeSample((fed + i) / 2));
      }
      stored += static_cast<int64_t>(fakeWaveIn.FeedInput(piece));
      if (!held) DeliverNotices();
      fed += n;
      bytes -= n;
    }
    return stored;
  }

  // The card loses `frames` of the take: nothing arrives for them.
  void Lose(uint32_t frames) {
    fakeWaveIn.LoseInput(frames);
    fed += int64_t{frames} * 4;
  }

  // A run from wherever TransportStart puts it, recorded for `ms` of clock and of
  // input, then stopped.
  void Record(int ms) {
    TransportStart();
    Sing(MsToByteOffset(ms));
    fakePlatform.Advance(static_cast<uint32_t>(ms));
    TransportStop();
  }

  struct Gap {
    int32_t from, to;  // timeline bytes that hold silence
  };

  // Checks track 2 over [fromSecond, toSecond): the take from byte `begin`
  // (captured from `takeStart`) to `end`, silent in its gaps, the old take
  // elsewhere.
  static void ExpectTrack(int fromSecond, int toSecond, int32_t begin, int32_t end,
                          int32_t takeStart, std::vector<Gap> gaps = {}) {
    for (int s = fromSecond; s < toSecond; ++s) {
      const std::vector<uint8_t> second = TrackSecond(2, s);
      for (int32_t i = 0; i < BytesPerSecond; i += 2) {
        const int32_t at = s * BytesPerSecond + i;
        const bool silent = std::any_of(gaps.begin(), gaps.end(),
                                        [at](Gap g) { return at >= g.from && at < g.to; });
        const int16_t old = at < kOldSeconds * BytesPerSecond ? kOldTake : 0;
        const int16_t want = at < begin || at >= end ? old
                             : silent                ? 0
                                                     : TakeSample((at - takeStart) / 2);
        ASSERT_EQ(SampleAt(second.data(), i), want) << "timeline byte " << at;
      }
    }
  }

  static std::vector<ShownMessage> Told() { return fakePlatform.messages; }

  int64_t fed = 0;
};

TEST_F(RecordingTest, WholeRunIsWrittenIncludingTheLastBuffers) {
  song.positionMs = 5000;
  Record(7000);
  // 1,234,800 bytes: the last 6,000 were still in a capture buffer at the stop.
  ExpectTrack(4, 13, 882000, 2116800, 882000);
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_EQ(fakeWaveIn.closes, 1);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(RecordingTest, TakeIsStoredARoundTripEarlierAndTheTrackKeepsWhatDidNotComeBack) {
  fakeWaveIn.roundTripFrames = 1000;
  song.positionMs = 5000;
  Record(7000);
  // The first 4,000 bytes captured answer what sounded before the run; the
  // last 4,000 before the stop were still on their way back.
  ExpectTrack(4, 13, 882000, 2116800 - 4000, 882000 - 4000);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

// A mono microphone on one side: the take holds that side in both channels,
// the track and the input meter's buffer alike.
TEST_F(RecordingTest, LeftOnlyAndRightOnlyTakesHoldThatChannelInBoth) {
  for (const auto& [channels, side] :
       {std::pair{InputChannels::Left, 0}, {InputChannels::Right, 1}}) {
    SetInputChannels(channels);
    fed = 0;
    song.positionMs = 5000;
    Record(3000);
    for (int s = 5; s < 8; ++s) {
      const std::vector<uint8_t> second = TrackSecond(2, s);
      for (int32_t i = 0; i < BytesPerSecond; i += 4) {
        const int16_t want = TakeSample((s * BytesPerSecond + i - 882000) / 2 + side);
        ASSERT_EQ(SampleAt(second.data(), i), want) << "second " << s << " byte " << i;
        ASSERT_EQ(SampleAt(second.data(), i + 2), want) << "second " << s << " byte " << i;
      }
    }
    EXPECT_EQ(SampleAt(song.workBuffer.get(), 882000 + 2), TakeSample(side));
  }
}

TEST_F(RecordingTest, AMeasuredRoundTripWinsOverTheDevicesUnlessItIsNoFigure) {
  const std::string config = MakeTempFolder("config");
  const ScopedEnv settings("XDG_CONFIG_HOME", config);
  fakeWaveIn.roundTripFrames = 1000;
  EXPECT_EQ(RoundTripFrames(), 1000u);
  ASSERT_EQ(SaveRoundTrip(300), 1);
  EXPECT_EQ(RoundTripFrames(), 300u);
  song.positionMs = 5000;
  Record(2000);
  ExpectTrack(4, 8, 882000, 7 * BytesPerSecond - 1200, 882000 - 1200);
  // A hand-edited file: nothing but a plain figure up to a second counts, and
  // the user hears of it once.
  for (const char* text : {"", "-5", "12ms", "44101", "99999999999"}) {
    ASSERT_EQ(WriteSetting(RoundTripSetting(), text), 1);
    EXPECT_EQ(RoundTripFrames(), 1000u) << text;
  }
  EXPECT_EQ(fakePlatform.messages.size(), 1u);
  fakeWaveIn.roundTripFrames = 500000;
  EXPECT_EQ(RoundTripFrames(), kMaxRoundTripFrames);
  std::filesystem::remove_all(config);
}

TEST_F(RecordingTest, MarkersNarrowWhatIsWritten) {
  song.markerInMs = 20000;
  song.markerOutMs = 25000;
  Record(13000);
  EXPECT_EQ(runState.startOffset, 17 * BytesPerSecond);
  ExpectTrack(16, 31, 3528000, 4410000, 17 * BytesPerSecond);
}

TEST_F(RecordingTest, StopInsideTheMarkersWritesUpToTheStop) {
  song.markerInMs = 20000;
  song.markerOutMs = 25000;
  Record(5000);
  ExpectTrack(16, 26, 3528000, 3880800, 17 * BytesPerSecond);
}

TEST_F(RecordingTest, StopBeforeTheInMarkerWritesNothing) {
  song.markerInMs = 20000;
  Record(2000);
  ExpectTrack(0, 40, 0, 0, 0);
  EXPECT_FALSE(fakeWaveIn.isOpen);
}

TEST_F(RecordingTest, RecordStopReportsWhetherItWrote) {
  song.positionMs = 1000;
  TransportStart();
  Sing(BytesPerSecond);
  runState.stopOffset = 2 * BytesPerSecond;
  EXPECT_EQ(RecordStop(), 1);
  TransportStart();
  runState.stopOffset = runState.startOffset;
  EXPECT_EQ(RecordStop(), 0);
  EXPECT_EQ(RecordStop(), 0);  // nothing left to stop
  EXPECT_EQ(fakeWaveIn.closes, 2);
}

TEST_F(RecordingTest, StartAtAFractionLinesTheTakeUpWithTheSecondHeard) {
  PutTrack(1, 0, 20, [](int32_t at) { return static_cast<int16_t>(at / BytesPerSecond + 1); });
  tracks[1].playOn = 1;
  tracks[1].volume = 100;
  song.positionMs = 12345;
  Record(2000);
  EXPECT_EQ(runState.startOffset, 12 * BytesPerSecond);
  EXPECT_EQ(SampleAt(fakeWaveOut.written[0].data(), 0), 13);  // second 12 first
  ExpectTrack(11, 15, 12 * BytesPerSecond, 14 * BytesPerSecond, 12 * BytesPerSecond);
}

TEST_F(RecordingTest, CaptureIntoTheEndOfTheTrackStoresEveryFrameAndStopsThere) {
  song.positionMs = 279000;
  TransportStart();
  song.workBuffer[TrackRegionBytes] = 0x77;  // past the timeline
  // 352,800 bytes are left: 21 buffers and part of the 22nd fit. The engine is
  // held up meanwhile, so the buffers come back in one burst, the last one
  // wholly past the end.
  Sing(23 * 16384, true);
  DeliverNotices();
  EXPECT_FALSE(fakeWaveIn.started);
  EXPECT_TRUE(fakeWaveIn.isOpen);  // until the stop
  const int32_t start = 279 * BytesPerSecond;
  for (int32_t at = start; at < TrackRegionBytes; at += 2) {
    ASSERT_EQ(SampleAt(song.workBuffer.get(), at), TakeSample((at - start) / 2)) << at;
  }
  EXPECT_EQ(song.workBuffer[TrackRegionBytes], 0x77) << "nothing past the end";
  fakePlatform.Advance(3000);
  TransportStop();
  ExpectTrack(278, SongSeconds, start, TrackRegionBytes, start);
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_TRUE(Told().empty());
}

TEST_F(RecordingTest, LateBurstsAndALostStretchLeaveEverythingElseInPlace) {
  song.positionMs = 5000;
  TransportStart();
  Sing(BytesPerSecond);
  // The engine is held up for three seconds of input: two and a quarter of
  // them wait in buffers, the rest finds none and is lost.
  const int32_t burstFrom = 6 * BytesPerSecond;
  const int64_t kept = Sing(3 * BytesPerSecond, true);
  ASSERT_GT(kept, 2 * BytesPerSecond);
  ASSERT_LT(kept, 3 * BytesPerSecond);
  DeliverNotices();
  Sing(2 * BytesPerSecond);
  fakePlatform.Advance(6000);
  TransportStop();
  const Gap lost{burstFrom + static_cast<int32_t>(kept), 9 * BytesPerSecond};
  ExpectTrack(4, 13, 5 * BytesPerSecond, 11 * BytesPerSecond, 5 * BytesPerSecond, {lost});
  const int64_t ms = (int64_t{lost.to - lost.from} * 10 + 1763) / 1764;
  EXPECT_EQ(Told(),
            (std::vector<ShownMessage>{{"The take on Track 2 has 1 dropout (" + std::to_string(ms) +
                                            " ms) at 0:08. Undo brings back what was there.",
                                        "Recording"}}));
}

TEST_F(RecordingTest, GapsAreSilentWhereTheyFellAndOneMessageTellsThemAll) {
  song.positionMs = 10000;
  TransportStart();
  const auto singTo = [&](int32_t timelineByte) { Sing(timelineByte - 10 * BytesPerSecond - fed); };
  // 10 ms lost at 0:12; at 1:05 two of 10 ms, a moment apart, which the ear
  // takes for one; at 2:40 the card stalls for 11 ms without losing its place.
  const int32_t first = 12 * BytesPerSecond;
  const int32_t second = 65 * BytesPerSecond + 88200;
  const int32_t third = 160 * BytesPerSecond + 4000;
  singTo(first);
  Lose(441);
  singTo(second);
  Lose(441);
  Sing(800);
  Lose(441);
  singTo(third);
  fakeWaveIn.Interrupt(485);
  singTo(165 * BytesPerSecond);
  fakePlatform.Advance(155000);
  TransportStop();
  const std::vector<Gap> gaps = {{first, first + 1764},
                                 {second, second + 1764},
                                 {second + 1764 + 800, second + 2 * 1764 + 800}};
  const int32_t take = 10 * BytesPerSecond;
  ExpectTrack(9, 14, take, 165 * BytesPerSecond, take, gaps);
  ExpectTrack(64, 67, take, 165 * BytesPerSecond, take, gaps);
  ExpectTrack(159, 166, take, 165 * BytesPerSecond, take, gaps);
  EXPECT_EQ(Told(), (std::vector<ShownMessage>{
                        {"The take on Track 2 has 3 dropouts (41 ms in all) at 0:12, 1:05, 2:40. "
                         "Undo brings back what was there.",
                         "Recording"}}));
}

TEST_F(RecordingTest, InputThatStopsComingLeavesTheOldTakeAfterItAndIsTold) {
  song.positionMs = 5000;
  TransportStart();
  Sing(2 * BytesPerSecond);
  // The card stops delivering; the stop comes two seconds later.
  fakePlatform.Advance(4000);
  TransportStop();
  ExpectTrack(4, 10, 5 * BytesPerSecond, 7 * BytesPerSecond, 5 * BytesPerSecond);
  EXPECT_EQ(Told(), (std::vector<ShownMessage>{
                        {"The take on Track 2 has 1 dropout (2.0 s) at 0:07. Undo brings back what "
                         "was there.",
                         "Recording"}}));

  // What a card still holds at the stop is only its own lag: not a dropout.
  fakePlatform.messages.clear();
  song.positionMs = 20000;
  fed = 0;
  TransportStart();
  Sing(BytesPerSecond - 16384);
  fakePlatform.Advance(1000);
  TransportStop();
  ExpectTrack(19, 22, 20 * BytesPerSecond, 21 * BytesPerSecond - 16384, 20 * BytesPerSecond);
  EXPECT_TRUE(Told().empty());
}

TEST_F(RecordingTest, NothingOfAStoppedRecordingReachesTheNextOne) {
  song.positionMs = 5000;
  TransportStart();
  Sing(20000);  // one buffer back and requeued, the other part filled
  fakePlatform.Advance(1000);
  TransportStop();
  // Start again before the stop's notices (returned buffers, input closed) are
  // handled: they belong to the old run and must leave the new one alone.
  song.positionMs = 9000;
  TransportStart();
  EXPECT_GT(DeliverNotices(), 0);
  fed = 0;
  Sing(2 * BytesPerSecond);
  EXPECT_EQ(SampleAt(song.workBuffer.get(), 9 * BytesPerSecond), TakeSample(0));
  // The last full buffer is in place; the partial one comes with the stop.
  EXPECT_EQ(SampleAt(song.workBuffer.get(), 9 * BytesPerSecond + 21 * 16384 - 2),
            TakeSample(21 * 16384 / 2 - 1));
  EXPECT_EQ(SampleAt(song.workBuffer.get(), 5 * BytesPerSecond), 0);  // zeroed at start
  fakePlatform.Advance(2000);
  TransportStop();
  ExpectTrack(8, 12, 9 * BytesPerSecond, 11 * BytesPerSecond, 9 * BytesPerSecond);
}

TEST_F(RecordingTest, FailedCaptureBufferMeansNoRun) {
  FailAllocationAfter(1);  // the effect is built, capture buffer A is not
  TransportStart();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error: RecordStart"}));
  EXPECT_EQ(fakePlatform.beeps, 1);
  EXPECT_EQ(song.running, 0);
  EXPECT_TRUE(fakeWaveOut.written.empty());
  EXPECT_EQ(fakeWaveIn.opens, 0);
  // Even a stop, were one to come, writes nothing into the armed track.
  TransportStop();
  ExpectTrack(0, 3, 0, 0, 0);
}

TEST_F(RecordingTest, FailedInputOpenMeansNoRun) {
  fakeWaveIn.openResult = 6;
  fakeWaveIn.failure = "Fake input: Device or resource busy";
  TransportStart();
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Error: waveInOpen\nFake input: Device or resource busy"}));
  EXPECT_EQ(fakePlatform.beeps, 1);
  EXPECT_EQ(song.running, 0);
  EXPECT_TRUE(fakeWaveOut.written.empty());
  // The next attempt, with the device back, records normally.
  fakeWaveIn.openResult = kWaveOk;
  fakePlatform.messages.clear();
  song.positionMs = 1000;
  Record(1000);
  EXPECT_TRUE(fakePlatform.messages.empty());
  ExpectTrack(0, 3, BytesPerSecond, 2 * BytesPerSecond, BytesPerSecond);
}

TEST_F(RecordingTest, RecordedTrackPlaysStraightAfterwards) {
  tracks[2].loopOn = 1;
  tracks[2].loopEnd = BytesPerSecond;
  Record(100);
  EXPECT_EQ(tracks[2].loopOn, 0);
}

}  // namespace
