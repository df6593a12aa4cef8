// The SDL devices with SDL's disk driver: played audio lands in a file, captured
// audio comes from one, and SDL's own thread runs the callbacks in real time.
// Every wait polls the posted messages against a deadline, so a device that
// never answers fails the test instead of hanging it.
#include "devices/sdl/sdl_wave.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "device_test_support.h"
#include "platform/wave.h"
#include "tests/fake/fake_platform.h"

namespace {

namespace fs = std::filesystem;

// Never zero, so it cannot be mistaken for the silence around it.
std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 13 + seed) % 251 + 1);
  return bytes;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SdlWaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/sonavel_sdl_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder = name;
    playedFile = folder / "played.raw";
    inputFile = folder / "input.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", playedFile.c_str(), 1);
    setenv("SDL_DISKAUDIOFILEIN", inputFile.c_str(), 1);
    fakePlatform.Reset();
    received.clear();
    InstallPlatform(&fakePlatform);
    InstallSdlWaveDevices();
  }

  void TearDown() override {
    ReleaseSdlWaveDevices();
    fs::remove_all(folder);
  }

  void WriteInputFile(const std::vector<uint8_t>& bytes) {
    std::ofstream out(inputFile, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }

  fs::path folder;
  fs::path playedFile;
  fs::path inputFile;
};

TEST_F(SdlWaveTest, PlaysQueuedBuffersBackToBackAndHandsThemBackInOrder) {
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  const uint32_t generation = waveOut().Generation();
  // A quarter of a second each: long enough that the second is queued well
  // before the first has been played.
  std::vector<uint8_t> first = Pattern(44100, 0);
  std::vector<uint8_t> second = Pattern(44100, 77);
  WaveHeader a = HeaderFor(first);
  WaveHeader b = HeaderFor(second);
  ASSERT_EQ(waveOut().Write(a), kWaveOk);
  ASSERT_EQ(waveOut().Write(b), kWaveOk);
  EXPECT_EQ(a.queued, 1u);
  EXPECT_EQ(waveOut().Write(a), kWaveStillPlaying) << "a buffer is queued once";

  ASSERT_TRUE(WaitForMessages(2));
  EXPECT_THAT(received, ::testing::ElementsAre(IsMessage(Notice(MM_WOM_DONE, generation, &a)),
                                               IsMessage(Notice(MM_WOM_DONE, generation, &b))));
  EXPECT_EQ(a.done, 1u);
  EXPECT_EQ(a.queued, 0u);
  EXPECT_EQ(b.done, 1u);
  EXPECT_EQ(b.queued, 0u);

  // Closing joins SDL's thread, so everything copied is in the file.
  waveOut().Close();
  const std::vector<uint8_t> played = ReadFile(playedFile);
  std::vector<uint8_t> both = first;
  both.insert(both.end(), second.begin(), second.end());
  const auto at = std::search(played.begin(), played.end(), both.begin(), both.end());
  ASSERT_NE(at, played.end()) << "the two buffers, back to back, exactly once";
  EXPECT_EQ(std::search(at + 1, played.end(), both.begin(), both.end()), played.end());
  EXPECT_TRUE(std::all_of(played.begin(), at, [](uint8_t x) { return x == 0; }))
      << "silence before the first buffer";
  EXPECT_TRUE(std::all_of(at + static_cast<std::ptrdiff_t>(both.size()), played.end(),
                          [](uint8_t x) { return x == 0; }))
      << "silence after the last";
}

TEST_F(SdlWaveTest, OutputResetHandsBackEverythingBeforeReturningAndStartsANewRun) {
  ASSERT_EQ(waveOut().Open(), kWaveOk);
  const uint32_t generation = waveOut().Generation();
  std::vector<uint8_t> first = Pattern(10 * 176400, 1);
  std::vector<uint8_t> second = Pattern(10 * 176400, 2);
  WaveHeader a = HeaderFor(first);
  WaveHeader b = HeaderFor(second);
  ASSERT_EQ(waveOut().Write(a), kWaveOk);
  ASSERT_EQ(waveOut().Write(b), kWaveOk);

  ASSERT_EQ(waveOut().Reset(), kWaveOk);
  EXPECT_EQ(a.done, 1u);
  EXPECT_EQ(a.queued, 0u);
  EXPECT_EQ(b.done, 1u);
  EXPECT_EQ(b.queued, 0u);
  EXPECT_NE(waveOut().Generation(), generation);
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received, ::testing::ElementsAre(IsMessage(Notice(MM_WOM_DONE, generation, &a)),
                                               IsMessage(Notice(MM_WOM_DONE, generation, &b))));

  // The device plays on: a buffer handed back can be queued again at once and
  // comes back under the new run.
  received.clear();
  a.bufferLength = 4096;
  ASSERT_EQ(waveOut().Write(a), kWaveOk);
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_THAT(received,
              ::testing::ElementsAre(IsMessage(Notice(MM_WOM_DONE, waveOut().Generation(), &a))));
}

TEST_F(SdlWaveTest, DevicesThatAreNotOpenRefuseWorkAndPostNothing) {
  std::vector<uint8_t> bytes = Pattern(4096, 3);
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

TEST_F(SdlWaveTest, ThePathNamesTheDriverAndTheDevicesInUse) {
  EXPECT_EQ(waveIn().PathKey(), "sdl:disk:System default|System default");
  std::vector<std::string> inputs;
  ASSERT_TRUE(waveIn().DeviceNames(inputs));
  ASSERT_FALSE(inputs.empty());
  waveIn().ChooseDevice(inputs[0]);
  // Unplugged, a chosen device is not what plays: the default stands in.
  waveOut().ChooseDevice("Gone");
  EXPECT_EQ(waveIn().PathKey(), "sdl:disk:System default|" + inputs[0]);
  waveOut().ChooseDevice("");
  waveIn().ChooseDevice("");
}

TEST_F(SdlWaveTest, AMissingDriverFailsToOpen) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_NE(waveOut().Open(), kWaveOk);
  EXPECT_NE(waveIn().Open(), kWaveOk);
  std::vector<uint8_t> bytes = Pattern(4096, 4);
  WaveHeader h = HeaderFor(bytes);
  EXPECT_NE(waveOut().Write(h), kWaveOk);
  EXPECT_EQ(fakePlatform.Pending(), 0u);
}

TEST_F(SdlWaveTest, CapturesIntoQueuedBuffersInOrderAndResetReturnsThePartialOne) {
  const std::vector<uint8_t> input = Pattern(1 << 20, 5);
  WriteInputFile(input);
  ASSERT_EQ(waveIn().Open(), kWaveOk);
  const uint32_t generation = waveIn().Generation();
  // B ends at byte 26,384, which no power-of-two device chunk divides: the chunk
  // that fills B also starts C.
  std::vector<uint8_t> bytesA(16384), bytesB(10000), bytesC(200000);
  WaveHeader a = HeaderFor(bytesA);
  WaveHeader b = HeaderFor(bytesB);
  WaveHeader c = HeaderFor(bytesC);
  ASSERT_EQ(waveIn().AddBuffer(a), kWaveOk);
  ASSERT_EQ(waveIn().AddBuffer(b), kWaveOk);
  ASSERT_EQ(waveIn().AddBuffer(c), kWaveOk);
  EXPECT_EQ(waveIn().AddBuffer(a), kWaveStillPlaying) << "a buffer is queued once";
  ASSERT_EQ(waveIn().Start(), kWaveOk);

  ASSERT_TRUE(WaitForMessages(2));
  EXPECT_THAT(received, ::testing::ElementsAre(IsMessage(Notice(MM_WIM_DATA, generation, &a)),
                                               IsMessage(Notice(MM_WIM_DATA, generation, &b))));
  EXPECT_EQ(a.bytesRecorded, 16384u);
  EXPECT_EQ(b.bytesRecorded, 10000u);
  EXPECT_TRUE(std::equal(bytesA.begin(), bytesA.end(), input.begin()));
  EXPECT_TRUE(std::equal(bytesB.begin(), bytesB.end(), input.begin() + 16384));

  ASSERT_EQ(waveIn().Reset(), kWaveOk);
  EXPECT_EQ(c.done, 1u);
  EXPECT_EQ(c.queued, 0u);
  ASSERT_GT(c.bytesRecorded, 0u);
  ASSERT_LT(c.bytesRecorded, c.bufferLength);
  EXPECT_TRUE(std::equal(bytesC.begin(), bytesC.begin() + c.bytesRecorded, input.begin() + 26384));
  const uint32_t afterReset = waveIn().Generation();
  EXPECT_NE(afterReset, generation);

  ASSERT_EQ(waveIn().Close(), kWaveOk);
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received,
              ::testing::ElementsAre(IsMessage(Notice(MM_WIM_DATA, generation, &a)),
                                     IsMessage(Notice(MM_WIM_DATA, generation, &b)),
                                     IsMessage(Notice(MM_WIM_DATA, generation, &c)),
                                     IsMessage(Notice(MM_WIM_CLOSE, afterReset, nullptr))));
  EXPECT_NE(waveIn().Generation(), afterReset);
}

TEST_F(SdlWaveTest, InputThatFindsNoBufferLeavesItsPlaceEmpty) {
  const std::vector<uint8_t> input = Pattern(1 << 21, 7);
  WriteInputFile(input);
  ASSERT_EQ(waveIn().Open(), kWaveOk);
  std::vector<uint8_t> bytes(16384);
  WaveHeader h = HeaderFor(bytes);
  ASSERT_EQ(waveIn().AddBuffer(h), kWaveOk);
  ASSERT_EQ(waveIn().Start(), kWaveOk);
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_EQ(h.timelineFrame, 0);
  // Input goes on arriving with no buffer to take it; the next buffer queued
  // starts where the input has got to, holding what arrived there.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  received.clear();
  ASSERT_EQ(waveIn().AddBuffer(h), kWaveOk);
  ASSERT_TRUE(WaitForMessages(1));
  ASSERT_GT(h.timelineFrame, 4096);
  ASSERT_LT(h.timelineFrame * 4 + bytes.size(), input.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), input.begin() + h.timelineFrame * 4));
  EXPECT_EQ(h.dropoutFrames, 0u);
  waveIn().Reset();
  waveIn().Close();
}

TEST_F(SdlWaveTest, CloseHandsBackBuffersStillQueuedAheadOfTheCloseNotice) {
  WriteInputFile(Pattern(4096, 6));
  ASSERT_EQ(waveIn().Open(), kWaveOk);
  const uint32_t generation = waveIn().Generation();
  std::vector<uint8_t> bytes(16384);
  WaveHeader h = HeaderFor(bytes);
  ASSERT_EQ(waveIn().AddBuffer(h), kWaveOk);

  ASSERT_EQ(waveIn().Close(), kWaveOk);
  EXPECT_EQ(h.done, 1u);
  EXPECT_EQ(h.queued, 0u);
  EXPECT_EQ(h.bytesRecorded, 0u) << "never started, nothing captured";
  fakePlatform.PumpTo(Receive);
  EXPECT_THAT(received,
              ::testing::ElementsAre(IsMessage(Notice(MM_WIM_DATA, generation, &h)),
                                     IsMessage(Notice(MM_WIM_CLOSE, generation, nullptr))));

  // A recording after that opens the device afresh.
  received.clear();
  ASSERT_EQ(waveIn().Open(), kWaveOk);
  ASSERT_EQ(waveIn().AddBuffer(h), kWaveOk);
  ASSERT_EQ(waveIn().Start(), kWaveOk);
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_EQ(received[0].lParam, reinterpret_cast<intptr_t>(&h));
  EXPECT_EQ(received[0].wParam, waveIn().Generation());
}

}  // namespace
