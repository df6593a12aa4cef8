// The JACK devices against a real jackd that each test starts itself (the dummy
// driver: real time, no sound card), and, run through pw-jack, against a
// private PipeWire graph. Every wait polls the posted messages against a
// deadline, so a device that never answers fails the test instead of hanging it.
#include "devices/jack/jack_wave.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "device_test_support.h"
#include "devices/desktop_audio.h"
#include "devices/jack/jack_wave_devices.h"
#include "platform/wave.h"
#include "test_servers.h"
#include "tests/fake/fake_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Never a zero sample, so a frame of silence cannot pass for it, and no run of
// it repeats within a second, so a shifted copy shows.
Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; i += 2) {
    x = x * 1103515245u + 12345u;
    const auto sample = static_cast<uint16_t>((x >> 12) | 1);
    bytes[i] = static_cast<uint8_t>(sample);
    if (i + 1 < size) bytes[i + 1] = static_cast<uint8_t>(sample >> 8);
  }
  return bytes;
}

class JackDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    fakePlatform.Reset();
    received.clear();
    InstallPlatform(&fakePlatform);
  }
  void TearDown() override {
    xruns.Stop();
    ReleaseJackWaveDevices();
    server.Stop();
  }

  // A server at 44,100 Hz with this period, the devices on it.
  void StartDevices(uint32_t period) {
    ASSERT_TRUE(server.Start(44100, period)) << server.Problem();
    std::string problem;
    ASSERT_EQ(StartJackAudio(problem), 1) << problem;
    InstallJackWaveDevices();
  }

  // One recording as the engine runs it: input buffers queued, the input
  // started, two seconds written to the output; the capture is stored buffer by
  // buffer and queued again until `bytes` are in, then the input is reset and
  // closed and the output reset. Returns what was captured, in order.
  Bytes RecordRun(const Bytes& first, const Bytes& second, size_t bytes) {
    Bytes captured;
    received.clear();
    EXPECT_EQ(waveIn().Open(), kWaveOk);
    const uint32_t generation = waveIn().Generation();
    Bytes memory[2] = {Bytes(16384), Bytes(16384)};
    WaveHeader in[2] = {HeaderFor(memory[0]), HeaderFor(memory[1])};
    EXPECT_EQ(waveIn().AddBuffer(in[0]), kWaveOk);
    EXPECT_EQ(waveIn().AddBuffer(in[1]), kWaveOk);
    Bytes a = first;
    Bytes b = second;
    WaveHeader out[2] = {HeaderFor(a), HeaderFor(b)};
    EXPECT_EQ(waveIn().Start(), kWaveOk);
    EXPECT_EQ(waveOut().Write(out[0]), kWaveOk);
    EXPECT_EQ(waveOut().Write(out[1]), kWaveOk);
    size_t seen = 0;
    const bool full = CollectUntil([&] {
      for (; seen < received.size(); ++seen) {
        const Message& m = received[seen];
        if (m.id != MM_WIM_DATA || m.wParam != generation) continue;
        auto* h = reinterpret_cast<WaveHeader*>(m.lParam);
        captured.insert(captured.end(), h->data, h->data + h->bytesRecorded);
        EXPECT_EQ(waveIn().AddBuffer(*h), kWaveOk);
      }
      return captured.size() >= bytes;
    });
    EXPECT_TRUE(full) << "captured " << captured.size() << " bytes";
    EXPECT_EQ(waveIn().Reset(), kWaveOk);
    EXPECT_EQ(waveIn().Close(), kWaveOk);
    EXPECT_EQ(waveOut().Reset(), kWaveOk);
    fakePlatform.PumpTo(Receive);
    return captured;
  }

  // Runs recordings until `runs` of them went without an xrun, and expects
  // every such capture to hold exactly what was played from frame `offset` on
  // (its first 64 KB, or `checked` bytes of it). Skips when the machine is too
  // busy to give enough of them.
  void ExpectLoopOffset(uint32_t offset, int runs, size_t checked = 65536) {
    ASSERT_TRUE(xruns.Start());
    ASSERT_EQ(waveOut().Open(), kWaveOk);
    int exact = 0;
    for (int run = 0; run < 4 * runs && exact < runs; ++run) {
      const Bytes first = Pattern(176400, 2 * run + 1);
      const Bytes second = Pattern(176400, 2 * run + 2);
      const uint32_t xrunsBefore = xruns.Count();
      const Bytes captured = RecordRun(first, second, 65536);
      if (xruns.Count() != xrunsBefore) continue;
      ++exact;
      ASSERT_GE(captured.size(), 65536u);
      // What comes before is whatever the loop held when the run began.
      const size_t silence = size_t{offset} * 4;
      const size_t end = std::min(silence + checked, size_t{65536});
      EXPECT_TRUE(std::equal(captured.begin() + silence, captured.begin() + end, first.begin()))
          << "run " << run << ": the capture is not the playback " << offset << " frames later";
    }
    if (exact < runs) GTEST_SKIP() << "too busy: only " << exact << " runs without an xrun";
  }

  TestJackServer server;
  XrunCounter xruns;
};

class JackLoop : public JackDevices, public ::testing::WithParamInterface<uint32_t> {};

// A self-loop takes no time (the process callback writes before it reads):
// capture lines up with playback exactly at what RoundTripFrames reports, run
// after run.
TEST_P(JackLoop, DirectLoopCapturesThePlaybackAtTheReportedRoundTrip) {
  StartDevices(GetParam());
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Direct, &problem)) << problem;
  EXPECT_EQ(waveIn().RoundTripFrames(), 0u);
  ExpectLoopOffset(waveIn().RoundTripFrames(), 10);
}

// Through another client the graph breaks the cycle at one place, which costs
// exactly one period that no port's latency mentions.
TEST_P(JackLoop, LoopThroughAnotherClientAddsExactlyOnePeriod) {
  StartDevices(GetParam());
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Peer, &problem)) << problem;
  ExpectLoopOffset(waveIn().RoundTripFrames() + GetParam(), 5);
}

// Connected to the sound card at start, the round trip is the card's playback
// latency plus its capture latency: the dummy driver says two periods out, one in.
TEST_P(JackLoop, ConnectsToTheFirstPhysicalPortsAndReportsTheirLatencies) {
  StartDevices(GetParam());
  EXPECT_EQ(waveIn().RoundTripFrames(), 3 * GetParam());
  jack_status_t status{};
  jack_client_t* look = jack_client_open("sonavel_test_look", JackNoStartServer, &status);
  ASSERT_NE(look, nullptr);
  EXPECT_TRUE(
      jack_port_connected_to(jack_port_by_name(look, "sonavel:out_1"), "system:playback_1"));
  EXPECT_TRUE(
      jack_port_connected_to(jack_port_by_name(look, "sonavel:out_2"), "system:playback_2"));
  EXPECT_TRUE(jack_port_connected_to(jack_port_by_name(look, "sonavel:in_1"), "system:capture_1"));
  EXPECT_TRUE(jack_port_connected_to(jack_port_by_name(look, "sonavel:in_2"), "system:capture_2"));
  EXPECT_EQ(waveIn().PathKey(), "jack:" + std::to_string(GetParam()));

  // One input fed is a mono source; none fed is silence.
  EXPECT_TRUE(waveIn().InputsConnected());
  ASSERT_EQ(jack_disconnect(look, "system:capture_1", "sonavel:in_1"), 0);
  EXPECT_TRUE(waveIn().InputsConnected());
  ASSERT_EQ(jack_disconnect(look, "system:capture_2", "sonavel:in_2"), 0);
  EXPECT_FALSE(waveIn().InputsConnected());
  jack_client_close(look);
}

INSTANTIATE_TEST_SUITE_P(Periods, JackLoop, ::testing::Values(1024u, 256u));

TEST_F(JackDevices, OutputResetHandsBackEverythingBeforeReturningAndStartsANewRun) {
  StartDevices(1024);
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  const uint32_t generation = waveOut().Generation();
  Bytes first = Pattern(10 * 176400, 1);
  Bytes second = Pattern(10 * 176400, 2);
  WaveHeader a = HeaderFor(first);
  WaveHeader b = HeaderFor(second);
  ASSERT_EQ(waveOut().Write(a), kWaveOk);
  ASSERT_EQ(waveOut().Write(b), kWaveOk);
  EXPECT_EQ(waveOut().Write(a), kWaveStillPlaying) << "a buffer is queued once";

  ASSERT_EQ(waveOut().Reset(), kWaveOk);
  EXPECT_EQ(a.done, 1u);
  EXPECT_EQ(a.queued, 0u);
  EXPECT_EQ(b.done, 1u);
  EXPECT_EQ(b.queued, 0u);
  EXPECT_NE(waveOut().Generation(), generation);
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received, ::testing::ElementsAre(IsMessage(Notice(MM_WOM_DONE, generation, &a)),
                                               IsMessage(Notice(MM_WOM_DONE, generation, &b))));

  // Played to its end, a short buffer comes back under the new run.
  received.clear();
  a.bufferLength = 4096;
  ASSERT_EQ(waveOut().Write(a), kWaveOk);
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_THAT(received,
              ::testing::ElementsAre(IsMessage(Notice(MM_WOM_DONE, waveOut().Generation(), &a))));
}

TEST_F(JackDevices, InputResetReturnsThePartialBufferAndTheCloseNoticeComesLast) {
  StartDevices(256);
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Direct, &problem)) << problem;
  ASSERT_TRUE(xruns.Start());
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  // An xrun ends the buffer being filled where it fell (a dropout there): a
  // try that had one is made again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    received.clear();
    const uint32_t xrunsBefore = xruns.Count();
    ASSERT_EQ(waveIn().Open(), kWaveOk);
    const uint32_t generation = waveIn().Generation();
    // B ends at byte 26,384, which no period divides: the cycle that fills B
    // also starts C.
    Bytes bytesA(16384), bytesB(10000), bytesC(400000);
    WaveHeader a = HeaderFor(bytesA);
    WaveHeader b = HeaderFor(bytesB);
    WaveHeader c = HeaderFor(bytesC);
    ASSERT_EQ(waveIn().AddBuffer(a), kWaveOk);
    ASSERT_EQ(waveIn().AddBuffer(b), kWaveOk);
    ASSERT_EQ(waveIn().AddBuffer(c), kWaveOk);
    EXPECT_EQ(waveIn().AddBuffer(a), kWaveStillPlaying) << "a buffer is queued once";
    Bytes played = Pattern(176400 * 2, 9);
    WaveHeader out = HeaderFor(played);
    ASSERT_EQ(waveIn().Start(), kWaveOk);
    ASSERT_EQ(waveOut().Write(out), kWaveOk);

    ASSERT_TRUE(WaitForMessages(2));
    ASSERT_EQ(waveIn().Reset(), kWaveOk);
    const uint32_t afterReset = waveIn().Generation();
    ASSERT_EQ(waveIn().Close(), kWaveOk);
    ASSERT_EQ(waveOut().Reset(), kWaveOk);
    fakePlatform.PumpTo(Receive);
    if (xruns.Count() != xrunsBefore) continue;

    EXPECT_EQ(a.timelineFrame, 0);
    EXPECT_EQ(b.timelineFrame, 4096);
    EXPECT_EQ(c.timelineFrame, 6596);
    EXPECT_TRUE(std::equal(bytesA.begin(), bytesA.end(), played.begin()));
    EXPECT_TRUE(std::equal(bytesB.begin(), bytesB.end(), played.begin() + 16384));
    EXPECT_EQ(c.done, 1u);
    EXPECT_EQ(c.queued, 0u);
    ASSERT_LT(c.bytesRecorded, c.bufferLength);
    EXPECT_EQ(c.bytesRecorded % 4, 0u);
    EXPECT_TRUE(
        std::equal(bytesC.begin(), bytesC.begin() + c.bytesRecorded, played.begin() + 26384));
    EXPECT_NE(afterReset, generation);
    std::erase_if(received, [](const Message& m) { return m.id == MM_WOM_DONE; });
    EXPECT_THAT(received,
                ::testing::ElementsAre(IsMessage(Notice(MM_WIM_DATA, generation, &a)),
                                       IsMessage(Notice(MM_WIM_DATA, generation, &b)),
                                       IsMessage(Notice(MM_WIM_DATA, generation, &c)),
                                       IsMessage(Notice(MM_WIM_CLOSE, afterReset, nullptr))));
    EXPECT_NE(waveIn().Generation(), afterReset);
    return;
  }
  GTEST_SKIP() << "too busy: every try had an xrun";
}

TEST_F(JackDevices, DevicesThatAreNotOpenRefuseWorkAndPostNothing) {
  StartDevices(1024);
  Bytes bytes = Pattern(4096, 3);
  WaveHeader h = HeaderFor(bytes);
  EXPECT_NE(waveOut().Write(h), kWaveOk);
  EXPECT_NE(waveIn().AddBuffer(h), kWaveOk);
  EXPECT_NE(waveIn().Start(), kWaveOk);
  EXPECT_NE(waveIn().Close(), kWaveOk);
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  waveOut().Close();
  EXPECT_NE(waveOut().Write(h), kWaveOk);
  EXPECT_EQ(h.queued, 0u);
  EXPECT_EQ(h.done, 0u);
  EXPECT_EQ(fakePlatform.Pending(), 0u);
}

TEST_F(JackDevices, AServerThatVanishesGetsErrorsAndEveryBufferBack) {
  StartDevices(1024);
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  ASSERT_EQ(waveIn().Open(), kWaveOk);
  Bytes played = Pattern(10 * 176400, 4);
  Bytes capture(16384 * 100);
  WaveHeader out = HeaderFor(played);
  WaveHeader in = HeaderFor(capture);
  ASSERT_EQ(waveOut().Write(out), kWaveOk);
  ASSERT_EQ(waveIn().AddBuffer(in), kWaveOk);
  ASSERT_EQ(waveIn().Start(), kWaveOk);
  const uint32_t outGeneration = waveOut().Generation();
  const uint32_t inGeneration = waveIn().Generation();

  server.Kill();
  // An empty buffer comes back at the next cycle while the server runs.
  WaveHeader probe;
  ASSERT_TRUE(CollectUntil([&] { return waveOut().Write(probe) == kJackServerGone; }));
  Bytes more = Pattern(4096, 5);
  WaveHeader late = HeaderFor(more);
  EXPECT_EQ(waveOut().Write(late), kJackServerGone);
  EXPECT_EQ(late.queued, 0u) << "a failed write keeps nothing";
  EXPECT_NE(waveIn().Start(), kWaveOk);

  EXPECT_NE(waveOut().Reset(), kWaveOk);
  EXPECT_NE(waveIn().Reset(), kWaveOk);
  EXPECT_EQ(out.done, 1u);
  EXPECT_EQ(in.done, 1u);
  EXPECT_EQ(waveIn().Close(), kWaveOk);
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received,
              ::testing::IsSupersetOf({IsMessage(Notice(MM_WOM_DONE, outGeneration, &out)),
                                       IsMessage(Notice(MM_WIM_DATA, inGeneration, &in))}));
  EXPECT_NE(waveOut().Open(), kWaveOk) << "no server to come back to";
}

// The choice at start.
TEST_F(JackDevices, ARunningServerIsChosenUnlessSdlIsAsked) {
  ASSERT_TRUE(server.Start(44100, 1024)) << server.Problem();
  std::string notice;
  EXPECT_EQ(InstallDesktopWaveDevices(nullptr, notice), AudioPath::Jack);
  EXPECT_EQ(notice, "");
  ReleaseDesktopWaveDevices();
  EXPECT_EQ(InstallDesktopWaveDevices("jack", notice), AudioPath::Jack);
  ReleaseDesktopWaveDevices();
  EXPECT_EQ(InstallDesktopWaveDevices("sdl", notice), AudioPath::Sdl);
  EXPECT_EQ(notice, "");
  ReleaseDesktopWaveDevices();
}

TEST_F(JackDevices, AServerAtAnotherRateIsRefusedWithAMessage) {
  ASSERT_TRUE(server.Start(48000, 1024)) << server.Problem();
  std::string notice;
  EXPECT_EQ(InstallDesktopWaveDevices(nullptr, notice), AudioPath::Sdl);
  EXPECT_THAT(notice, ::testing::HasSubstr("48,000 Hz"));
  EXPECT_THAT(notice, ::testing::HasSubstr("44,100 Hz"));
  ReleaseDesktopWaveDevices();
  EXPECT_EQ(InstallDesktopWaveDevices("jack", notice), AudioPath::Sdl);
  EXPECT_THAT(notice, ::testing::HasSubstr("48,000 Hz"));
  ReleaseDesktopWaveDevices();
}

TEST_F(JackDevices, NoServerMeansSdlAndNoServerIsStarted) {
  const std::string name = "sonavel-test-none-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  std::string notice;
  EXPECT_EQ(InstallDesktopWaveDevices(nullptr, notice), AudioPath::Sdl);
  EXPECT_EQ(notice, "");
  ReleaseDesktopWaveDevices();
  EXPECT_EQ(InstallDesktopWaveDevices("jack", notice), AudioPath::Sdl);
  EXPECT_THAT(notice, ::testing::HasSubstr("no JACK server is running"));
  ReleaseDesktopWaveDevices();
  jack_status_t status{};
  jack_client_t* after = jack_client_open("sonavel_test_look", JackNoStartServer, &status);
  EXPECT_EQ(after, nullptr) << "a server was started";
  if (after != nullptr) jack_client_close(after);
}

// PipeWire's JACK: run by ctest through pw-jack, against a private graph.
class PipeWireJack : public JackDevices, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    if (!OnPipeWireJack()) GTEST_SKIP() << "not running on PipeWire's libjack (use pw-jack)";
    JackDevices::SetUp();
    if (!pipewire.Start(GetParam())) GTEST_SKIP() << "no PipeWire here: " << pipewire.Problem();
    std::string problem;
    ASSERT_EQ(StartJackAudio(problem), 1) << problem;
    InstallJackWaveDevices();
  }
  void TearDown() override {
    xruns.Stop();
    ReleaseJackWaveDevices();
    pipewire.Stop();
  }
  TestPipeWire pipewire;
};

TEST_P(PipeWireJack, DirectLoopCapturesThePlaybackAtTheReportedRoundTrip) {
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::Direct, &problem)) << problem;
  ExpectLoopOffset(waveIn().RoundTripFrames(), 10);
}

// Where the take begins is the devices' doing and is checked to the frame;
// whether the sink carries every later cycle is the graph's, which on a busy
// machine may drop one without calling it an xrun.
TEST_P(PipeWireJack, LoopThroughANullSinkAddsExactlyOneQuantum) {
  std::string problem;
  ASSERT_TRUE(LoopPorts("sonavel", LoopKind::NullSink, &problem)) << problem;
  ExpectLoopOffset(waveIn().RoundTripFrames() + GetParam(), 5, GetParam() * 4);
}

TEST_P(PipeWireJack, AGraphThatLeaves44100HzStopsTheDevices) {
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  Bytes played = Pattern(10 * 176400, 6);
  WaveHeader out = HeaderFor(played);
  ASSERT_EQ(waveOut().Write(out), kWaveOk);
  const uint32_t generation = waveOut().Generation();
  ASSERT_TRUE(pipewire.ForceRate(48000));
  WaveHeader probe;
  ASSERT_TRUE(CollectUntil([&] { return waveOut().Write(probe) == kJackServerGone; }));
  EXPECT_EQ(waveOut().Reset(), kJackServerGone);
  EXPECT_EQ(out.done, 1u);
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received, ::testing::Contains(IsMessage(Notice(MM_WOM_DONE, generation, &out))));
}

// Asked for a quantum and a rate (pw-jack -p 1024 -s 44100), a client is told
// that rate until it joins the graph; only then the graph's own.
TEST_P(PipeWireJack, AGraphAtAnotherRateIsRefusedOnceJoined) {
  ReleaseJackWaveDevices();
  ASSERT_TRUE(pipewire.ForceRate(48000));
  setenv("PIPEWIRE_QUANTUM", "1024/44100", 1);
  std::string problem;
  EXPECT_EQ(StartJackAudio(problem), 0);
  unsetenv("PIPEWIRE_QUANTUM");
  EXPECT_THAT(problem, ::testing::HasSubstr("48,000 Hz"));
  EXPECT_THAT(problem, ::testing::HasSubstr("clock.allowed-rates"));
}

INSTANTIATE_TEST_SUITE_P(Quanta, PipeWireJack, ::testing::Values(1024u, 256u));

}  // namespace
