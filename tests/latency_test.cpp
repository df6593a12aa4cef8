// The round trip on a simulated cable from the output to the input: measured
// through the menu, then takes of a click track that line up with it, or lag by
// exactly the loop when the measurement is forgotten. A cable whose delay
// changes between the bursts stands for starts a sound system places unlike.
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/menus.h"
#include "audio/input_channels.h"
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
    fakeWaveIn.pathKey = "fake";
    fakeWaveIn.inputsConnected = true;
    ProgramTest::TearDown();
    std::filesystem::remove_all(config);
  }

  // Each test measures into settings of its own.
  std::string config = MakeTempFolder("config");
  ScopedEnv settings{"XDG_CONFIG_HOME", config};

  // The card plays on for `ms` in 10 ms periods, each handled before the next
  // (the two capture buffers hold less than a timer tick), a tick every 100 ms;
  // sooner when `done` says so before a period.
  void Run(
      int ms, const std::function<bool()>& done = [] { return false; }) {
    for (int t = 10; t <= ms && !done(); t += 10) {
      fakeWaveOut.Play(441);
      fakePlatform.Pump();
      if (t % 100 != 0) continue;
      fakePlatform.Advance(100);
      WindowProc(WM_TIMER, 1, 0);
      fakePlatform.Pump();
    }
  }

  // Measure Latency to its end; the cable's delay becomes delays[k] as the
  // k-th burst's run begins, and what it was after the last.
  void Measure(const std::map<int, uint32_t>& delays = {}) {
    const int opens = fakeWaveIn.opens;
    const uint32_t steady = fakeWaveOut.loopDelayFrames;
    WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
    Run(60000, [&] {
      const auto at = delays.find(fakeWaveIn.opens - opens - 1);
      if (at != delays.end()) fakeWaveOut.loopDelayFrames = at->second;
      return !MeasuringLatency();
    });
    fakeWaveOut.loopDelayFrames = steady;
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
  EXPECT_EQ(ReadSetting("round_trip_frames[fake]"), "1234");
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
  EXPECT_EQ(MeasuredRoundTrip(), 1234u);

  // And the next measurement sees the new loop.
  Measure();
  EXPECT_EQ(
      Shown(),
      (std::vector<ShownMessage>{{"Round trip: 300 frames (6.8 ms)", "Measure Latency", true}}));
}

TEST_F(LatencyTest, EveryChoiceOfInputChannelsMeasuresTheLoop) {
  for (const InputChannels channels : {InputChannels::Left, InputChannels::Right}) {
    SetInputChannels(channels);
    fakePlatform.messages.clear();
    Measure();
    EXPECT_EQ(Shown(), (std::vector<ShownMessage>{
                           {"Round trip: 1234 frames (28.0 ms)", "Measure Latency", true}}));
  }
  SetInputChannels(InputChannels::Stereo);
}

TEST_F(LatencyTest, FiveMeasurementsInARowKeepTheMedianAndRefuseBurstsThatDisagree) {
  fakeWaveOut.loopDelayFrames = 1024;
  const ShownMessage kept{"Round trip: 1024 frames (23.2 ms)", "Measure Latency", true};
  Measure();
  // Two starts placed late: bursts that disagree.
  Measure({{3, 1797}});
  EXPECT_EQ(MeasuredRoundTrip(), 1024u);
  Measure();
  // A path that wavers by a few frames is steady enough: the middle one counts.
  Measure({{2, 1027}, {4, 1030}});
  Measure();
  EXPECT_EQ(Shown(),
            (std::vector<ShownMessage>{
                kept,
                {"The round trip changed between bursts (1,024 to 1,797 frames): the sound system "
                 "is busy or the connection is not steady. Nothing was stored; try again.",
                 "Measure Latency"},
                kept,
                {"Round trip: 1027 frames (23.3 ms)", "Measure Latency", true},
                kept}));
  EXPECT_EQ(MeasuredRoundTrip(), 1024u);
}

TEST_F(LatencyTest, EachSoundPathKeepsItsOwnRoundTrip) {
  // The single value of before becomes the first path's to look it up.
  ASSERT_EQ(WriteSetting("round_trip_frames", "1500"), 1);
  const std::string desk = "sdl:pulseaudio:System default|System default";
  const std::string usb = "sdl:pulseaudio:USB = Headset|USB = Headset";
  fakeWaveIn.pathKey = desk;
  EXPECT_EQ(RoundTripFrames(), 1500u);
  fakeWaveIn.pathKey = usb;
  EXPECT_EQ(RoundTripFrames(), 0u);  // not measured: the device's own figure
  Measure();
  // JACK's ports report their latencies until a period is measured.
  fakeWaveIn.roundTripFrames = 2048;
  fakeWaveIn.pathKey = "jack:1024";
  fakeWaveOut.loopDelayFrames = 3072;
  Measure();
  for (const auto& [path, frames] : std::vector<std::pair<std::string, uint32_t>>{
           {"jack:256", 2048}, {"jack:1024", 3072}, {desk, 1500}, {usb, kLoopFrames}}) {
    fakeWaveIn.pathKey = path;
    EXPECT_EQ(RoundTripFrames(), frames) << path;
  }
  EXPECT_EQ(ReadSetting("round_trip_frames", "gone"), "gone");
}

TEST_F(LatencyTest, AnUnreadableValueIsToldOnceAndIgnored) {
  fakeWaveIn.roundTripFrames = 64;
  const std::string crlf = "round_trip_frames[fake]=1029\r\n";  // a Windows editor's
  WriteFile(SettingsPath(), Bytes(crlf.begin(), crlf.end()));
  const std::vector<ShownMessage> told{
      {"The round trip kept in " + SettingsPath() +
           " as \"round_trip_frames[fake]\" is not a number of frames up to 44,100, so it is "
           "ignored. Audio > Measure Latency measures it again.",
       "Measure Latency"}};
  Take(0, 1500);
  EXPECT_EQ(RoundTripFrames(), 64u);
  EXPECT_EQ(Shown(), told);
}

TEST_F(LatencyTest, ATakeFromUnconnectedInputsIsToldAndKeptForUndo) {
  fakeWaveIn.inputsConnected = false;
  Take(1000, 2000);
  EXPECT_EQ(Shown(), (std::vector<ShownMessage>{
                         {"Nothing was connected to Sonavel's inputs, so this take is silence. "
                          "Connect a source to them (on JACK: in_1 and in_2, with QjackCtl, Carla "
                          "or jack_connect) and record again. Edit > Undo gives the track back "
                          "what it had.",
                          "Recording"}}));
  EXPECT_TRUE(AllZero(RegionOf(WorkingFile(), 2, BytesPerSecond, BytesPerSecond)));
  WindowProc(WM_COMMAND, kUndoCommand, 0);
  EXPECT_EQ(LoadI16(RegionOf(WorkingFile(), 2, BytesPerSecond, 4).data()), kOldTake);
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

  // Nothing connected: the input brings nothing at all, and the first run
  // gives up after five seconds.
  fakeWaveOut.loopback = nullptr;
  const uint32_t start = fakePlatform.clock;
  Measure();
  EXPECT_EQ(fakePlatform.clock - start, 5000u);
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
