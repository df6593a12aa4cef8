// Finding an echo of a noise burst: where it is, and when there is none.
#include "audio/correlation.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "audio/latency_measure.h"

namespace {

std::vector<float> Burst(size_t frames) {
  std::vector<float> burst(frames);
  for (size_t i = 0; i < frames; ++i)
    burst[i] = TestSignalSample(static_cast<uint32_t>(i)) / 32768.0f;
  return burst;
}

// Noise unrelated to the burst, at the given level.
std::vector<float> RoomNoise(size_t frames, float level) {
  std::vector<float> noise(frames);
  uint32_t x = 12345;
  for (float& v : noise) {
    x = x * 1103515245u + 12345u;
    v = level * (static_cast<float>(x >> 8 & 0xFFFF) / 32768.0f - 1.0f);
  }
  return noise;
}

TEST(FindDelayTest, FindsAFaintInvertedEchoInNoiseAtAnyDelayInRange) {
  const std::vector<float> sent = Burst(8000);
  for (size_t delay : {size_t{0}, size_t{1}, size_t{1234}, size_t{12000}}) {
    // A twentieth of the level, upside down, under louder noise.
    std::vector<float> heard = RoomNoise(20000, 0.02f);
    for (size_t i = 0; i < sent.size(); ++i) heard[delay + i] -= 0.05f * sent[i];
    EXPECT_EQ(FindDelay(sent, heard), std::optional<uint32_t>(delay)) << delay;
  }
}

TEST(FindDelayTest, FindsNothingWhereNoEchoCameBack) {
  const std::vector<float> sent = Burst(8000);
  EXPECT_EQ(FindDelay(sent, std::vector<float>(20000, 0.0f)), std::nullopt);
  // A hum that is not silence: a constant offset.
  EXPECT_EQ(FindDelay(sent, std::vector<float>(20000, 0.25f)), std::nullopt);
  EXPECT_EQ(FindDelay(sent, RoomNoise(20000, 0.3f)), std::nullopt);
  // A little unrelated noise, then digital silence: nothing to stand above.
  std::vector<float> quiet = RoomNoise(600, 0.3f);
  quiet.resize(20000, 0.0f);
  EXPECT_EQ(FindDelay(sent, quiet), std::nullopt);
  // Too short to hold the burst at all.
  EXPECT_EQ(FindDelay(sent, std::vector<float>(sent.begin(), sent.end() - 1)), std::nullopt);
  EXPECT_EQ(FindDelay({}, RoomNoise(100, 0.3f)), std::nullopt);
}

}  // namespace
