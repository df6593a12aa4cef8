// The round trip on a simulated cable from the output to the input: measured
// through the menu, then takes of a click track that line up with it, or lag by
// exactly the loop when the measurement is forgotten.
#include <filesystem>
#include <string>
#include <vector>

#include "app/menus.h"
#include "audio/latency_measure.h"
#include "audio/round_trip.h"
#include "base/settings.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"

namespace {

constexpr uint32_t kLoopFrames = 1234;
constexpr int16_t kOldTake = 7;

class LatencyTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
    ASSERT_EQ(SongFileIsOpen(), 1);
    fakeWaveOut.loopback = &fakeWaveIn;
    fakeWaveOut.loopDelayFrames = kLoopFrames;
    Bytes clicks(40 * size_t{BytesPerSecond});
    Bytes old(clicks.size());
    for (size_t i = 0; i < clicks.size(); i += 2) {
      StoreI16(clicks.data() + i, ClickSample(static_cast<int64_t>(i / 4)));
      StoreI16(old.data() + i, kOldTake);
    }
    FileWrite(tracks[1], clicks.data(), 0, static_cast<int32_t>(clicks.size()));
    FileWrite(tracks[2], old.data(), 0, static_cast<int32_t>(old.size()));
    tracks[1].playOn = 1;
  }

  void TearDown() override {
    fakeWaveOut.loopback = nullptr;
    fakeWaveOut.loopDelayFrames = 0;
    fakeWaveIn.roundTripFrames = 0;
    ProgramTest::TearDown();
    std::filesystem::remove_all(config);
  }

  // Each test measures into settings of its own.
  std::string config = MakeTempFolder("config");
  ScopedEnv settings{"XDG_CONFIG_HOME", config};

  // The card plays on for `ms` in 10 ms periods, each handled before the next
  // (the two capture buffers hold less than a timer tick), a tick every 100 ms.
  void Run(int ms) {
    for (int t = 10; t <= ms; t += 10) {
      fakeWaveOut.Play(441);
      fakePlatform.Pump();
      if (t % 100 != 0) continue;
      fakePlatform.Advance(100);
      WindowProc(WM_TIMER, 1, 0);
      fakePlatform.Pump();
    }
  }

  void Measure() {
    WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
    fakePlatform.Pump();
    Run(3000);
  }

  // A take into track 2 from `startMs`, stopped after `ms`; what was played
  // during it, block by block from the run's first second.
  void Take(int startMs, int ms) {
    if (song.armedTrack != 2) Click(Middle(geometry::Arm(2)));
    song.positionMs = startMs;
    fakeWaveOut.written.clear();
    Click(Middle(geometry::kPlay));
    ASSERT_EQ(song.running, 1);
    Run(ms);
    Click(Middle(geometry::kPlay));
    ASSERT_EQ(song.running, 0);
  }

  // Where the bursts begin in track t between timeline seconds `from` and `to`.
  std::vector<int64_t> TrackOnsets(int t, int from, int to) {
    return Onsets(RegionOf(WorkingFile(), t, int64_t{from} * BytesPerSecond,
                           size_t(to - from) * BytesPerSecond),
                  from * BytesPerSecond);
  }

  std::vector<ShownMessage> Shown() { return fakePlatform.messages; }
};

TEST_F(LatencyTest, MeasuringReportsTheLoopKeepsItAndLeavesThePanelWorking) {
  // A run going is stopped first, as the panel's commands stop it.
  Click(Middle(geometry::kPlay));
  Run(500);
  Measure();
  EXPECT_EQ(song.running, 0);
  EXPECT_EQ(
      Shown(),
      (std::vector<ShownMessage>{{"Round trip: 1234 frames (28.0 ms)", "Measure Latency", true}}));
  EXPECT_EQ(ReadSetting("round_trip_frames"), "1234");
  EXPECT_FALSE(fakeWaveIn.isOpen);
  EXPECT_FALSE(MeasuringLatency());

  // Play during a measurement takes the devices back without a word.
  fakePlatform.messages.clear();
  fakeWaveOut.loopDelayFrames = 300;
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  Run(500);
  EXPECT_TRUE(MeasuringLatency());
  Click(Middle(geometry::kPlay));
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_EQ(song.running, 1);
  Run(3000);
  Click(Middle(geometry::kPlay));
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ReadSetting("round_trip_frames"), "1234");

  // And the next measurement sees the new loop.
  Measure();
  EXPECT_EQ(
      Shown(),
      (std::vector<ShownMessage>{{"Round trip: 300 frames (6.8 ms)", "Measure Latency", true}}));
}

TEST_F(LatencyTest, TakesLineUpWithTheClickTrackOnceMeasured) {
  Measure();
  // Starts on whole seconds and between them; takes long and short.
  const int starts[] = {0, 7000, 12500, 3000};
  const int lengths[] = {6000, 4000, 2300, 9000};
  for (int i = 0; i < 4; ++i) {
    Take(starts[i], lengths[i]);
    const int first = starts[i] / 1000;
    const int last = first + lengths[i] / 1000;
    const std::vector<int64_t> heard = TrackOnsets(1, first, last);
    ASSERT_GE(heard.size(), 8u);
    EXPECT_EQ(TrackOnsets(2, first, last), heard) << "take " << i;
  }
  EXPECT_EQ(Shown().size(), 1u);  // the measurement's result, nothing else
}

TEST_F(LatencyTest, WithoutTheMeasurementTakesLagByTheLoop) {
  // No value measured, and a device that knows nothing of the cable.
  Take(4000, 5000);
  std::vector<int64_t> late = TrackOnsets(1, 4, 9);
  for (int64_t& onset : late) onset += kLoopFrames;
  EXPECT_EQ(TrackOnsets(2, 4, 9), late);

  // A device that reports the loop lines takes up by itself.
  fakeWaveIn.roundTripFrames = kLoopFrames;
  Take(4000, 5000);
  EXPECT_EQ(TrackOnsets(2, 4, 9), TrackOnsets(1, 4, 9));
}

TEST_F(LatencyTest, PunchInReplacesExactlyTheMarkedRegionWithWhatWasPlayedThere) {
  Measure();
  song.markerInMs = 10000;
  song.markerOutMs = 14000;
  Take(0, 9000);  // from 7 s, the pre-roll, to 16 s
  const int32_t in = 10 * BytesPerSecond;
  const int32_t out = 14 * BytesPerSecond;
  const Bytes track = RegionOf(WorkingFile(), 2, 0, 20 * size_t{BytesPerSecond});
  for (int32_t at = 0; at < 20 * BytesPerSecond; at += 2) {
    const int16_t v = LoadI16(track.data() + at);
    if (at < in || at >= out) {
      ASSERT_EQ(v, kOldTake) << at;
    } else {
      // The mix as it went out: the buffer of its second, played from 7 s.
      const Bytes& played = fakeWaveOut.written[size_t(at / BytesPerSecond - 7)];
      ASSERT_EQ(v, LoadI16(played.data() + at % BytesPerSecond)) << at;
    }
  }
}

TEST_F(LatencyTest, AnOutputThatRunsDryStallsTheTakeWithTheSongAndSaysSo) {
  Measure();
  fakePlatform.messages.clear();
  Click(Middle(geometry::Arm(2)));
  song.positionMs = 0;
  Click(Middle(geometry::kPlay));
  Run(2000);
  // The program is held up for three seconds: the two queued seconds play
  // out, then a second of silence while the song waits for it.
  fakeWaveOut.Play(3 * 44100);
  fakePlatform.Advance(3000);
  fakePlatform.Pump();
  Run(3000);
  Click(Middle(geometry::kPlay));
  // Seven seconds of the song were heard: the take lines up with them before
  // and after the stall (once its round trip has passed), and ends with them.
  const int64_t stall = 4 * 44100;
  std::vector<int64_t> heard = TrackOnsets(1, 0, 7);
  std::erase_if(heard, [&](int64_t f) {
    return (f >= stall - kLoopFrames && f < stall) || f >= 7 * 44100 - kLoopFrames;
  });
  EXPECT_EQ(TrackOnsets(2, 0, 7), heard);
  const Bytes after = RegionOf(WorkingFile(), 2, 7 * int64_t{BytesPerSecond}, BytesPerSecond);
  for (size_t i = 0; i < after.size(); i += 2) {
    ASSERT_EQ(LoadI16(after.data() + i), kOldTake) << "where the song never came, at " << i;
  }
  EXPECT_EQ(Shown(), (std::vector<ShownMessage>{
                         {"The take on Track 2 has 1 dropout (1.0 s) at 0:03. Undo brings back "
                          "what was there.",
                          "Recording"}}));
}

TEST_F(LatencyTest, NoSignalBackKeepsTheEarlierValue) {
  ASSERT_EQ(SaveRoundTrip(500), 1);
  const std::string kept =
      "No test signal came back. Connect the output to the input with a cable, or hold a "
      "microphone to a speaker, and measure again. The round trip stays at 500 frames (11.3 ms).";

  // Nothing connected: the input brings nothing at all.
  fakeWaveOut.loopback = nullptr;
  Measure();
  EXPECT_TRUE(Shown().empty());
  Run(3000);
  EXPECT_EQ(Shown(), (std::vector<ShownMessage>{{kept, "Measure Latency"}}));
  EXPECT_FALSE(fakeWaveIn.isOpen);

  // A muted input: silence comes back, on time.
  fakePlatform.messages.clear();
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  for (int i = 0; i < 25 && MeasuringLatency(); ++i) {
    fakeWaveIn.FeedInput(Bytes(4410 * 4, 0));
    fakePlatform.Pump();
  }
  EXPECT_EQ(Shown(), (std::vector<ShownMessage>{{kept, "Measure Latency"}}));
  EXPECT_EQ(MeasuredRoundTrip(), 500u);
}

TEST_F(LatencyTest, AFailedDeviceEndsTheMeasurementAtOnce) {
  fakeWaveIn.openResult = 6;
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_TRUE(fakeWaveOut.queued.empty());
  fakeWaveIn.openResult = kWaveOk;

  fakeWaveOut.writeResult = 5;
  WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
  EXPECT_FALSE(MeasuringLatency());
  EXPECT_FALSE(fakeWaveIn.isOpen);
  fakeWaveOut.writeResult = kWaveOk;
  EXPECT_EQ(Shown(),
            (std::vector<ShownMessage>{{"Error: waveInOpen", "Error"},
                                       {"Error: the test signal could not be played", "Error"}}));
  EXPECT_EQ(fakePlatform.beeps, 1);
}

}  // namespace
