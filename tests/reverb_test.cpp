#include "audio/reverb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

using Frame = std::pair<int, int>;

Frame RunFrame(int left, int right) {
  int16_t l = static_cast<int16_t>(left);
  int16_t r = static_cast<int16_t>(right);
  EffectFrame(l, r);
  return {l, r};
}

class ReverbTest : public ::testing::Test {
 protected:
  void SetUp() override { EffectReset(); }
  void TearDown() override { EffectRelease(); }
};

TEST(ReverbSettings, FixedRoomGivesTheKnownLengthsTapsAndGains) {
  Reverb room(44100, 0.5f, 3.5f, 9.0f, 0.1f);
  ASSERT_TRUE(room.Ready());
  EXPECT_EQ(room.roomDelay, 19455.8828125f);
  EXPECT_NEAR(room.decayPerStep, 0.9999552471609524, 1e-15);
  EXPECT_EQ(room.reflections.length, 44000);
  EXPECT_EQ(room.taps[0], 7981);
  EXPECT_EQ(room.taps[1], 5841);
  EXPECT_EQ(room.taps[2], 3020);
  EXPECT_EQ(room.taps[3], 5);
  EXPECT_FLOAT_EQ(room.tapGains[0], 0.69964629f);
  EXPECT_FLOAT_EQ(room.tapGains[1], 0.76996732f);
  EXPECT_FLOAT_EQ(room.tapGains[2], 0.87357908f);
  EXPECT_FLOAT_EQ(room.tapGains[3], 0.99977624f);
  EXPECT_FLOAT_EQ(room.diffusionScale, 9.1759882f);

  const std::vector<std::pair<const Allpass*, std::pair<int, float>>> expected = {
      {&room.a0, {1926, 0.75f}},  {&room.a1, {1468, 0.75f}}, {&room.a2, {5358, 0.625f}},
      {&room.a3, {3551, 0.625f}}, {&room.b1, {1413, 0.75f}}, {&room.b2, {5175, 0.625f}},
      {&room.b3, {3789, 0.625f}},
  };
  for (const auto& [pass, want] : expected) {
    EXPECT_EQ(pass->length, want.first);
    EXPECT_EQ(pass->gain, want.second);
    EXPECT_EQ(pass->buffer.size(), static_cast<size_t>(want.first));
    EXPECT_EQ(pass->position, 0);
  }
}

TEST(ReverbSettings, AllpassFlushesValuesBelowTheExponentFloor) {
  std::vector<float> memory(3, 0.0f);
  Allpass pass{3, 0.5f, 0, memory};
  // 2^-112 has a biased exponent of 15 and must not be stored; 2^-100 must.
  pass.Step(std::ldexp(1.0f, -112));
  EXPECT_EQ(memory[0], 0.0f);
  pass.Step(std::ldexp(1.0f, -100));
  EXPECT_EQ(memory[1], std::ldexp(1.0f, -100));
  EXPECT_EQ(pass.position, 2);
  pass.Step(1.0f);
  EXPECT_EQ(pass.position, 0);  // wraps
  // Output is g * v + z with the stored value of the previous round.
  EXPECT_EQ(pass.Step(4.0f), 2.0f);
  EXPECT_EQ(pass.Step(0.0f), std::ldexp(1.0f, -100) * 0.75f);
}

TEST(ReverbSettings, DelayLineReadsWhatWasWrittenKWritesAgo) {
  std::vector<float> memory(4, 0.0f);
  DelayLine line{4, 0, memory};
  for (int i = 1; i <= 6; ++i) line.Write(static_cast<float>(i));
  EXPECT_EQ(line.Read(1), 6.0f);
  EXPECT_EQ(line.Read(3), 4.0f);
  EXPECT_EQ(line.Read(4), 3.0f);
}

TEST_F(ReverbTest, ImpulseGivesTheKnownFirstFrames) {
  EXPECT_EQ(RunFrame(1000, 0), Frame(1029, 29));
  EXPECT_EQ(RunFrame(0, 0), Frame(0, 0));
  EXPECT_EQ(RunFrame(0, 0), Frame(-21, -21));
}

TEST_F(ReverbTest, ResetForgetsTheTail) {
  RunFrame(1000, 0);
  EffectReset();
  EXPECT_EQ(RunFrame(1000, 0), Frame(1029, 29));
}

TEST_F(ReverbTest, SilenceStaysExactlySilent) {
  for (int i = 0; i < 44100; ++i) ASSERT_EQ(RunFrame(0, 0), Frame(0, 0)) << "frame " << i;
}

TEST_F(ReverbTest, LoudFramesSaturateInsteadOfWrapping) {
  // A twin instance gives the unsaturated sums, so every frame whose sum leaves
  // the 16-bit range can be checked for the limit rather than a wrapped value.
  Reverb twin(44100, 0.5f, 3.5f, 9.0f, 0.1f);
  int above = 0, below = 0;
  for (int i = 0; i < 40000; ++i) {
    const int in = (i / 3000) % 2 == 0 ? 32767 : -32768;
    float a1, b1, a2, b2;
    twin.Process(static_cast<float>(in), a1, b1);
    twin.Process(static_cast<float>(in), a2, b2);
    const float sumLeft = a2 + a1 + static_cast<float>(in);
    const Frame f = RunFrame(in, in);
    if (sumLeft > 32767.0f) {
      ++above;
      ASSERT_EQ(f.first, 32767) << "frame " << i;
    } else if (sumLeft < -32768.0f) {
      ++below;
      ASSERT_EQ(f.first, -32768) << "frame " << i;
    } else {
      ASSERT_EQ(f.first, static_cast<int>(sumLeft)) << "frame " << i;
    }
  }
  EXPECT_GT(above, 1000);
  EXPECT_GT(below, 1000);
}

TEST_F(ReverbTest, GarbageInputNeverEntersTheMemories) {
  Reverb room(44100, 0.5f, 3.5f, 9.0f, 0.1f);
  float first = 0, second = 0;
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -200000.0f}) {
    room.Process(bad, first, second);
    EXPECT_EQ(first, 0.0f);
    EXPECT_EQ(second, 0.0f);
  }
  for (int i = 0; i < 50000; ++i) {
    room.Process(0.0f, first, second);
    ASSERT_EQ(first, 0.0f);
    ASSERT_EQ(second, 0.0f);
  }
}

TEST(ReverbMissing, FrameIsLeftDryWithoutAnEffect) {
  EffectRelease();
  EXPECT_EQ(EffectReady(), 0);
  EXPECT_EQ(RunFrame(1000, -5), Frame(1000, -5));
}

}  // namespace
