// The effect run a block at a time must give the very bytes of the frame-by-frame
// run: same float operations in the same order, only grouped stage by stage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "audio/reverb.h"
#include "base/bytes.h"

namespace {

constexpr int kRate = 44100;

void Put(std::vector<uint8_t>& pcm, size_t frame, int left, int right) {
  StoreI16(pcm.data() + 4 * frame, static_cast<int16_t>(left));
  StoreI16(pcm.data() + 4 * frame + 2, static_cast<int16_t>(right));
}

// Ten seconds: white noise over the whole range, a full-scale square that drives
// the sums into saturation, silence for the tail, and chords with a swell.
std::vector<uint8_t> TestSignal() {
  const size_t frames = 10 * kRate;
  std::vector<uint8_t> pcm(frames * 4);
  uint32_t x = 12345;
  const auto noise = [&x] {
    x = x * 1664525u + 1013904223u;
    return static_cast<int>(x >> 16) - 32768;
  };
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    if (t < 3) {
      const int a = noise();
      Put(pcm, f, a, noise());
    } else if (t < 4) {
      const int v = (f / 2000) % 2 == 0 ? 32767 : -32768;
      Put(pcm, f, v, v);
    } else if (t < 5) {
      Put(pcm, f, 0, 0);
    } else {
      const double swell = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 0.7 * t);
      double left = 0, right = 0;
      for (double hz : {110.0, 164.8, 220.0, 277.2, 329.6}) {
        left += std::sin(2 * std::numbers::pi * hz * t);
        right += std::sin(2 * std::numbers::pi * hz * 1.5 * t + 0.3);
      }
      Put(pcm, f, static_cast<int>(5000 * swell * left), static_cast<int>(5000 * swell * right));
    }
  }
  return pcm;
}

// The reference: the effect one frame at a time from empty memories.
std::vector<uint8_t> FrameByFrame(std::vector<uint8_t> pcm) {
  EffectReset();
  for (size_t f = 0; f < pcm.size() / 4; ++f) {
    int16_t l = LoadI16(pcm.data() + 4 * f);
    int16_t r = LoadI16(pcm.data() + 4 * f + 2);
    EffectFrame(l, r);
    StoreI16(pcm.data() + 4 * f, l);
    StoreI16(pcm.data() + 4 * f + 2, r);
  }
  return pcm;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// Every sample of ten seconds of the room, pinned: a changed sign, tap or gain
// anywhere in the reflections or the diffusers changes the sum. (The value was
// computed once from this frame-by-frame form.)
TEST(ReverbBlock, TenSecondsOfTheRoomAreTheKnownBytes) {
  const std::vector<uint8_t> output = FrameByFrame(TestSignal());
  EffectRelease();
  EXPECT_EQ(Fnv1a(output), 0x5a8377126b4538ddull) << std::hex << Fnv1a(output);
}

TEST(ReverbBlock, TenSecondsMatchFrameByFrameToTheBit) {
  const std::vector<uint8_t> input = TestSignal();
  const size_t frames = input.size() / 4;
  const std::vector<uint8_t> expected = FrameByFrame(input);

  // Pieces of uneven size, so chunk and wrap boundaries fall everywhere.
  std::vector<uint8_t> actual = input;
  EffectReset();
  const int32_t pieces[] = {1, 511, 512, 513, 7, 44100, 3001, 1023};
  size_t done = 0;
  for (int i = 0; done < frames; ++i) {
    const auto n = static_cast<int32_t>(std::min<size_t>(pieces[i % 8], frames - done));
    EffectBlock(actual.data() + 4 * done, n);
    done += static_cast<size_t>(n);
  }
  EffectRelease();

  for (size_t f = 0; f < frames; ++f) {
    ASSERT_EQ(std::memcmp(actual.data() + 4 * f, expected.data() + 4 * f, 4), 0)
        << "first difference at frame " << f;
  }
}

TEST(ReverbBlock, GarbageAndTinyValuesTakeTheSamePathAsOneAtATime) {
  Reverb one(kRate, 0.5f, 3.5f, 9.0f, 0.1f);
  Reverb block(kRate, 0.5f, 3.5f, 9.0f, 0.1f);
  ASSERT_TRUE(one.Ready() && block.Ready());
  // Values near the flush floor of 2^-111 on both sides, garbage, and ordinary
  // sound, over more steps than the reflection line holds.
  std::vector<float> in(120000);
  for (size_t i = 0; i < in.size(); ++i) {
    const float tiny =
        std::ldexp(1.0f + static_cast<float>(i % 7) / 8, -112 + static_cast<int>(i % 5));
    switch (i % 11) {
      case 0:
        in[i] = std::numeric_limits<float>::quiet_NaN();
        break;
      case 1:
        in[i] = (i % 2 ? 1 : -1) * 150000.0f;
        break;
      case 2:
        in[i] = std::numeric_limits<float>::infinity();
        break;
      case 3:
        in[i] = static_cast<float>(static_cast<int>(i % 2001) - 1000);
        break;
      default:
        in[i] = i % 3 == 0 ? -tiny : tiny;
        break;
    }
    if (i > 60000 && i % 11 < 4) in[i] = 0.0f;  // then only the tiny values and the tail
  }
  std::vector<float> firstOne(in.size()), secondOne(in.size());
  for (size_t i = 0; i < in.size(); ++i) one.Process(in[i], firstOne[i], secondOne[i]);

  std::vector<float> firstBlock(in.size()), secondBlock(in.size());
  const int32_t lengths[] = {5000, 1, 1024, 1025, 44000, 333};
  size_t done = 0;
  for (int i = 0; done < in.size(); ++i) {
    const auto n = static_cast<int32_t>(std::min<size_t>(lengths[i % 6], in.size() - done));
    block.ProcessBlock(in.data() + done, firstBlock.data() + done, secondBlock.data() + done, n);
    done += static_cast<size_t>(n);
  }
  for (size_t i = 0; i < in.size(); ++i) {
    ASSERT_EQ(std::memcmp(&firstBlock[i], &firstOne[i], sizeof(float)), 0) << "step " << i;
    ASSERT_EQ(std::memcmp(&secondBlock[i], &secondOne[i], sizeof(float)), 0) << "step " << i;
  }
}

TEST(ReverbBlock, BlockIsLeftDryWithoutAnEffect) {
  EffectRelease();
  std::vector<uint8_t> pcm(4 * 100);
  for (size_t f = 0; f < 100; ++f) Put(pcm, f, 1000 + static_cast<int>(f), -5);
  const std::vector<uint8_t> before = pcm;
  EffectBlock(pcm.data(), 100);
  EXPECT_EQ(pcm, before);
}

}  // namespace
