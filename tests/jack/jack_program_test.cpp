// The whole core on the JACK devices, its outputs looped back to its inputs
// through another client on a server the test starts: Measure Latency finds the
// loop, takes of a click track then line up with it, and without the
// measurement lag by exactly that much. jackd's dummy driver at two periods,
// and PipeWire's JACK when run through pw-jack. Time is real here: the fake
// platform's clock and timer follow the wall clock, and every wait has a
// generous deadline, so a slow machine makes the test slower, never red.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/menus.h"
#include "audio/latency_measure.h"
#include "audio/round_trip.h"
#include "audio/run_state.h"
#include "base/settings.h"
#include "devices/jack/jack_wave.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/undo.h"
#include "test_servers.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTakes = 10;
constexpr int kTakeMs = 700;
// Onsets are compared up to here: the stop comes later, and the last frames
// of a take are the round trip's, stored earlier.
constexpr int kComparedMs = kTakeMs - 100;
// Runs spoiled by an xrun are recorded again, this many times at most.
constexpr int kRetries = 5;

class JackProgram : public ProgramTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  // Called by the fixtures below once their server is up.
  void StartProgram() {
    std::string problem;
    ASSERT_EQ(StartJackAudio(problem), 1) << problem;
    InstallJackWaveDevices();
    InstallPlatform(&fakePlatform);
    ProgramTest::SetUp();
    started = true;
    Paint();
    ASSERT_EQ(SongFileIsOpen(), 1);
    ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Peer, &problem)) << problem;
    ASSERT_TRUE(xruns.Start());
    Bytes clicks(12 * size_t{BytesPerSecond});
    for (size_t i = 0; i < clicks.size(); i += 2) {
      StoreI16(clicks.data() + i, ClickSample(static_cast<int64_t>(i / 4)));
    }
    FileWrite(tracks[1], clicks.data(), 0, static_cast<int32_t>(clicks.size()));
    tracks[1].playOn = 1;
  }

  void TearDown() override {
    xruns.Stop();
    if (started) ProgramTest::TearDown();
    ClearLoops();
    ReleaseJackWaveDevices();
    std::filesystem::remove_all(config);
  }

  // The program runs for `ms` of real time: notices handled as they come, a
  // timer tick every 100 ms. Stops early once `done` holds.
  template <typename Done>
  void Run(int ms, Done done) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    auto nextTick = Clock::now() + std::chrono::milliseconds(100);
    while (Clock::now() < end && !done()) {
      fakePlatform.Pump();
      if (Clock::now() >= nextTick) {
        nextTick += std::chrono::milliseconds(100);
        fakePlatform.Advance(100);
        WindowProc(WM_TIMER, 1, 0);
        fakePlatform.Pump();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  void Run(int ms) {
    Run(ms, [] { return false; });
  }

  // Measure Latency from the menu: the frames its message reports; -1 when
  // it reported none, -2 when every try had xruns.
  int64_t Measure() {
    for (int attempt = 0; attempt < kRetries; ++attempt) {
      fakePlatform.messages.clear();
      const uint32_t before = xruns.Count();
      WindowProc(WM_COMMAND, kMeasureLatencyCommand, 0);
      fakePlatform.Pump();
      // Each burst's run gives up by itself after five seconds of the clock.
      Run(60000, [] { return !MeasuringLatency(); });
      long long frames = -1;
      const bool shown =
          fakePlatform.messages.size() == 1 && std::sscanf(fakePlatform.messages[0].text.c_str(),
                                                           "Round trip: %lld frames", &frames) == 1;
      // A burst an xrun spoiled disagrees with the others, and nothing is kept.
      if (!shown && xruns.Count() != before) continue;
      if (!shown) {
        std::string told;
        for (const ShownMessage& m : fakePlatform.messages) told += " [" + m.text + "]";
        ADD_FAILURE() << "not one round trip shown:" << told;
      }
      return frames;
    }
    return -2;
  }

  // A take into track 2 from second `second`; false when an xrun spoiled it.
  bool Take(int second) {
    if (song.armedTrack != 2) Click(Middle(geometry::Arm(2)));
    song.positionMs = second * 1000;
    const uint32_t before = xruns.Count();
    Click(Middle(geometry::kPlay));
    EXPECT_EQ(song.running, 1);
    Run(kTakeMs);
    Click(Middle(geometry::kPlay));
    EXPECT_EQ(song.running, 0);
    return xruns.Count() == before;
  }

  std::vector<int64_t> TrackOnsets(int t, int second) {
    const int32_t from = second * BytesPerSecond;
    return Onsets(RegionOf(WorkingFile(), t, from, size_t{kComparedMs} * BytesPerSecond / 1000),
                  from);
  }

  // Takes from second 0 on, each checked against the click track: its bursts
  // land `lag` frames after the track's, give or take a frame.
  void ExpectTakesLag(int takes, int64_t lag) {
    for (int i = 0; i < takes; ++i) {
      int attempt = 0;
      while (!Take(i) && ++attempt < kRetries) {
      }
      if (attempt == kRetries) GTEST_SKIP() << "too busy: every try at take " << i << " had xruns";
      const std::vector<int64_t> played = TrackOnsets(1, i);
      const std::vector<int64_t> taken = TrackOnsets(2, i);
      ASSERT_GE(played.size(), 2u);
      ASSERT_EQ(taken.size(), played.size()) << "take " << i;
      for (size_t k = 0; k < played.size(); ++k) {
        EXPECT_NEAR(taken[k] - played[k], lag, 1) << "take " << i << ", burst " << k;
      }
    }
  }

  // The whole story: the loop measured, takes in line, then the value reset.
  void MeasureAndRecord(uint32_t loopFrames) {
    const int64_t measured = Measure();
    if (measured == -2) GTEST_SKIP() << "too busy: every measurement had xruns";
    ASSERT_EQ(measured, loopFrames);
    // Kept for this path: the server's period.
    EXPECT_EQ(ReadSetting("round_trip_frames[jack:" + std::to_string(GetParam()) + "]"),
              std::to_string(measured));
    ExpectTakesLag(kTakes, 0);
    if (HasFatalFailure() || IsSkipped()) return;

    // Without the measured value the device's own figure counts: the ports'
    // latencies, which know nothing of a loop through another client.
    ASSERT_EQ(RemoveSetting(RoundTripSetting()), 1);
    EXPECT_EQ(RoundTripFrames(), 0u);
    ExpectTakesLag(1, measured);
  }

  std::string config = MakeTempFolder("config");
  ScopedEnv settings{"XDG_CONFIG_HOME", config};
  XrunCounter xruns;
  bool started = false;
};

class JackdProgram : public JackProgram {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start(44100, GetParam())) << server.Problem();
    StartProgram();
  }
  void TearDown() override {
    JackProgram::TearDown();
    server.Stop();
  }
  TestJackServer server;
};

TEST_P(JackdProgram, MeasuredLoopLinesTakesUpWithTheClickTrack) {
  // Through another client the loop is one period long.
  MeasureAndRecord(GetParam());
}

// A server that dies in the middle of a take: the transport stops at once and
// says why, the take keeps what came before and Undo takes it back; once a
// server runs again, Play plays and records on it.
TEST_P(JackdProgram, AServerThatDiesStopsTheTakeAndTheNextPlayFindsTheOneAfterIt) {
  constexpr int16_t kOldTake = 7;
  Bytes old(5 * size_t{BytesPerSecond});
  for (size_t i = 0; i < old.size(); i += 2) StoreI16(old.data() + i, kOldTake);
  FileWrite(tracks[2], old.data(), 0, static_cast<int32_t>(old.size()));
  Click(Middle(geometry::Arm(2)));
  song.positionMs = 0;
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  Run(1500);
  server.Kill();
  const auto killed = Clock::now();
  Run(10000, [] { return song.running == 0; });
  EXPECT_LT(Clock::now() - killed, std::chrono::seconds(1));
  ASSERT_EQ(song.running, 0);
  ASSERT_FALSE(fakePlatform.messages.empty());
  EXPECT_EQ(fakePlatform.messages.back().text,
            "The sound device went away (its server stopped, or it was unplugged), so the "
            "transport stopped. What was recorded until then is kept; Undo takes it back. Play "
            "connects again once the device is back.");
  // The take lags by the loop's one period, since nothing was measured.
  std::vector<int64_t> played = TrackOnsets(1, 0);
  for (int64_t& onset : played) onset += GetParam();
  std::erase_if(played, [](int64_t f) { return f >= 44100; });
  std::vector<int64_t> taken = TrackOnsets(2, 0);
  std::erase_if(taken, [](int64_t f) { return f >= 44100; });
  EXPECT_EQ(taken, played);
  EXPECT_EQ(RegionOf(WorkingFile(), 2, 3 * BytesPerSecond, 2 * size_t{BytesPerSecond}),
            Bytes(old.begin() + 3 * BytesPerSecond, old.end()))
      << "past where capture ended the old take stays";
  ASSERT_EQ(CanUndo(), 1);
  WindowProc(WM_COMMAND, kUndoCommand, 0);
  EXPECT_EQ(RegionOf(WorkingFile(), 2, 0, old.size()), old);

  // The test's own client of the dead server goes before another takes its
  // place, as the program's did.
  xruns.Stop();
  ASSERT_TRUE(server.Start(44100, GetParam())) << server.Problem();
  ASSERT_TRUE(xruns.Start());
  fakePlatform.messages.clear();
  Click(Middle(geometry::Arm(2)));
  Click(Middle(geometry::kPlay));
  ASSERT_EQ(song.running, 1);
  Run(2500);
  EXPECT_GE(runState.audibleSecond, 1) << "the output plays: its buffers come back";
  Click(Middle(geometry::kPlay));
  EXPECT_TRUE(fakePlatform.messages.empty());
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Peer, &problem)) << problem;
  ExpectTakesLag(1, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Periods, JackdProgram, ::testing::Values(1024u, 256u));

// Run by ctest through pw-jack, against a private graph.
class PipeWireProgram : public JackProgram {
 protected:
  void SetUp() override {
    if (!OnPipeWireJack()) GTEST_SKIP() << "not running on PipeWire's libjack (use pw-jack)";
    if (!pipewire.Start(GetParam())) GTEST_SKIP() << "no PipeWire here: " << pipewire.Problem();
    StartProgram();
  }
  void TearDown() override {
    JackProgram::TearDown();
    pipewire.Stop();
  }
  TestPipeWire pipewire;
};

TEST_P(PipeWireProgram, MeasuredLoopLinesTakesUpWithTheClickTrack) {
  // A quantum through another client, as on jackd.
  MeasureAndRecord(GetParam());
}

// The desktop's usual quantum; the devices' own tests cover the small one.
INSTANTIATE_TEST_SUITE_P(Quanta, PipeWireProgram, ::testing::Values(1024u));

}  // namespace
