#include "audio/recording.h"

#include <gtest/gtest.h>

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

// Every captured sample is numbered from the start of the take (never 0 or the
// old take's value), so a written byte tells where in the take it came from.
int16_t TakeSample(int64_t sampleIndex) {
  return static_cast<int16_t>(sampleIndex % 30000 + 10);
}

class RecordingTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    PutTrack(2, 0, 40, [](int32_t) { return kOldTake; });
    song.armedTrack = 2;
    fed = 0;
  }

  // The card delivers `bytes` more of the take, in pieces no larger than one
  // capture buffer, each handled by the engine before the next arrives.
  void Sing(int64_t bytes) {
    std::vector<uint8_t> piece;
    while (bytes > 0) {
      const int64_t n = std::min<int64_t>(bytes, 16384);
      piece.resize(static_cast<size_t>(n));
      for (int64_t i = 0; i < n; i += 2) {
        audiotest::PutSample(piece.data(), static_cast<int32_t>(i), TakeSample((fed + i) / 2));
      }
      fakeWaveIn.FeedInput(piece);
      DeliverNotices();
      fed += n;
      bytes -= n;
    }
  }

  // A run from wherever TransportStart puts it, recorded for `ms` of clock and of
  // input, then stopped.
  void Record(int ms) {
    TransportStart();
    Sing(MsToByteOffset(ms));
    fakePlatform.Advance(static_cast<uint32_t>(ms));
    TransportStop();
  }

  // Checks track 2 over [fromSecond, toSecond): the take from byte `begin`
  // (captured from `takeStart`) to `end`, the old take elsewhere.
  static void ExpectTrack(int fromSecond, int toSecond, int32_t begin, int32_t end,
                          int32_t takeStart) {
    for (int s = fromSecond; s < toSecond; ++s) {
      const std::vector<uint8_t> second = TrackSecond(2, s);
      for (int32_t i = 0; i < BytesPerSecond; i += 2) {
        const int32_t at = s * BytesPerSecond + i;
        const int16_t want = at >= begin && at < end ? TakeSample((at - takeStart) / 2) : kOldTake;
        ASSERT_EQ(SampleAt(second.data(), i), want) << "timeline byte " << at;
      }
    }
  }

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

TEST_F(RecordingTest, CaptureEndsWithTheLastBufferThatFits) {
  song.positionMs = 279000;
  TransportStart();
  // 21 buffers fit in the 352,800 bytes left; the 22nd does not.
  Sing(23 * 16384);
  EXPECT_FALSE(fakeWaveIn.started);
  EXPECT_TRUE(fakeWaveIn.isOpen);  // until the stop
  fakePlatform.Advance(3000);
  TransportStop();
  const int32_t start = 279 * BytesPerSecond;
  const int32_t stored = 21 * 16384;
  for (int32_t at = start; at < TrackRegionBytes; at += 2) {
    const int16_t want = at < start + stored ? TakeSample((at - start) / 2) : 0;
    ASSERT_EQ(SampleAt(song.workBuffer.get(), at), want) << at;
  }
  const std::vector<uint8_t> last = TrackSecond(2, 280);
  EXPECT_EQ(SampleAt(last.data(), 0), TakeSample(BytesPerSecond / 2));
  EXPECT_EQ(SampleAt(last.data(), stored - BytesPerSecond), 0);
  EXPECT_FALSE(fakeWaveIn.isOpen);
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
  TransportStart();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Error: waveInOpen"}));
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
