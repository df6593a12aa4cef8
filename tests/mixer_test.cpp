#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio_test_support.h"

namespace {

using audiotest::AudioTest;
using audiotest::PutSample;
using audiotest::SampleAt;

std::vector<int16_t> Added(std::vector<int16_t> dest, const std::vector<int16_t>& source,
                           int volume) {
  MixAdd(reinterpret_cast<uint8_t*>(dest.data()), 0,
         reinterpret_cast<const uint8_t*>(source.data()), static_cast<int32_t>(source.size() * 2),
         volume);
  return dest;
}

class MixerTest : public AudioTest {};

TEST_F(MixerTest, MixAddRoundsTowardZeroAfterAddingFifty) {
  EXPECT_EQ(Added({0, 0, 0, 0}, {1, -1, -2, 2}, 100), (std::vector<int16_t>{1, 0, -1, 2}));
  EXPECT_EQ(Added({0, 0}, {1000, -1000}, 80), (std::vector<int16_t>{800, -799}));
  EXPECT_EQ(Added({0, 0}, {10000, -32768}, 90), (std::vector<int16_t>{9000, -29490}));
  EXPECT_EQ(Added({5, -5}, {32767, -32768}, 0), (std::vector<int16_t>{5, -5}));
  // No more than full level, whatever is asked.
  EXPECT_EQ(Added({0, 0}, {1000, -1000}, 150), (std::vector<int16_t>{1000, -999}));
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(MixerTest, EachAdditionSaturatesOnItsOwn) {
  std::vector<int16_t> sum = {0, 0};
  for (int i = 0; i < 3; ++i) sum = Added(sum, {30000, -30000}, 100);
  EXPECT_EQ(sum, (std::vector<int16_t>{32767, -32768}));

  // -30,000 at full level adds -29,999 by the rounding rule, so the saturated
  // 32,767 comes back down to 2,768; in the other order nothing saturates.
  sum = Added(Added({0, 0}, {30000, -30000}, 100), {30000, -30000}, 100);
  sum = Added(sum, {-30000, 30000}, 100);
  EXPECT_EQ(sum, (std::vector<int16_t>{2768, -2768}));
  sum = Added(Added({0, 0}, {-30000, 30000}, 100), {30000, -30000}, 100);
  sum = Added(sum, {30000, -30000}, 100);
  EXPECT_EQ(sum, (std::vector<int16_t>{30001, -29998}));
}

// The adding loop runs on vector instructions: every source value at every
// volume, onto destinations near the limits, at an odd alignment and a length
// that leaves a remainder after the vector steps, must follow the plain rule.
TEST_F(MixerTest, MixAddFollowsTheRuleForEverySampleAndVolume) {
  constexpr size_t kSamples = 65536 + 6;
  std::vector<int16_t> source(kSamples + 1), dest(kSamples + 1);
  uint32_t x = 7;
  for (size_t i = 0; i < kSamples; ++i) {
    source[i + 1] = static_cast<int16_t>(i);
    x = x * 1664525u + 1013904223u;
    dest[i + 1] = static_cast<int16_t>(i % 5 == 0 ? (i % 2 ? 32767 : -32768) : (x >> 16));
  }
  for (int volume = -3; volume <= 120; ++volume) {
    std::vector<int16_t> mixed = dest;
    MixAdd(reinterpret_cast<uint8_t*>(mixed.data() + 1), 0,
           reinterpret_cast<const uint8_t*>(source.data() + 1), static_cast<int32_t>(kSamples * 2),
           volume);
    for (size_t i = 1; i <= kSamples; ++i) {
      const int32_t added = (source[i] * std::min(volume, 100) + 50) / 100;
      ASSERT_EQ(mixed[i], std::clamp(dest[i] + added, -32768, 32767))
          << "volume " << volume << ", source " << source[i] << ", dest " << dest[i];
    }
    ASSERT_EQ(mixed[0], dest[0]);
  }
}

TEST_F(MixerTest, MixAddRefusesBadLengthsAndLeavesTheDestination) {
  std::vector<uint8_t> dest(8, 0x11);
  const std::vector<uint8_t> source(8, 0x22);
  EXPECT_EQ(MixAdd(dest.data(), 8, source.data(), TrackRegionBytes + 4, 100), 0);
  EXPECT_EQ(MixAdd(dest.data(), 8, source.data(), TrackRegionBytes + 2, 100), 0);
  EXPECT_EQ(MixAdd(dest.data(), 8, source.data(), 6, 100), 0);
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Error: MixWith - too big", "Error: MixWith - too big",
                                      "Error: MixAdd - wavlen must be /4"}));
  fakePlatform.messages.clear();
  EXPECT_EQ(MixAdd(dest.data(), 8, source.data(), 0, 100), 1);
  EXPECT_EQ(MixAdd(dest.data(), 8, source.data(), -4, 100), 1);
  EXPECT_EQ(dest, std::vector<uint8_t>(8, 0x11));
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(MixerTest, PunchMuteSilencesOnlyTheMarkedMilliseconds) {
  song.markerInMs = 2500;
  song.markerOutMs = 4200;
  std::vector<uint8_t> slot(BytesPerSecond);
  auto muted = [&](int second) {
    for (int32_t at = 0; at < BytesPerSecond; at += 2) PutSample(slot.data(), at, 1234);
    song.mixSecond = second;
    PunchMute(slot.data());
    std::vector<bool> silent(BytesPerSecond / 4);
    for (int f = 0; f < BytesPerSecond / 4; ++f) {
      const bool left = SampleAt(slot.data(), f * 4) == 0;
      EXPECT_EQ(left, SampleAt(slot.data(), f * 4 + 2) == 0) << "frame " << f;
      silent[f] = left;
    }
    return silent;
  };
  auto silentRange = [](int from, int to) {
    std::vector<bool> s(BytesPerSecond / 4, false);
    for (int f = from; f < to; ++f) s[f] = true;
    return s;
  };
  EXPECT_EQ(muted(1), silentRange(0, 0));
  EXPECT_EQ(muted(2), silentRange(22028, 44100));
  EXPECT_EQ(muted(3), silentRange(0, 44100));
  EXPECT_EQ(muted(4), silentRange(0, 8843));
  EXPECT_EQ(muted(5), silentRange(0, 0));
}

TEST_F(MixerTest, LoopsSeekRephasesAsIfPlayedFromTheStart) {
  tracks[1].loopOn = 1;
  tracks[1].loopStart = 2 * BytesPerSecond;
  tracks[1].loopEnd = 5 * BytesPerSecond;  // three seconds
  tracks[2].loopOn = 1;
  tracks[2].loopStart = tracks[2].loopEnd = 1000;
  tracks[2].loopPos = 77;
  tracks[3].loopStart = 0;
  tracks[3].loopEnd = 4000;
  tracks[3].loopPos = 99;  // not looping
  LoopsSeek(10);
  EXPECT_EQ(tracks[1].loopPos, 3 * BytesPerSecond);
  EXPECT_EQ(tracks[2].loopPos, 77);
  EXPECT_EQ(tracks[3].loopPos, 99);
  LoopsSeek(280);  // 280 s of 176,400 bytes do not overflow the arithmetic
  EXPECT_EQ(tracks[1].loopPos, 2 * BytesPerSecond + (280 % 3) * BytesPerSecond);
}

TEST_F(MixerTest, NothingHeardMixesSilenceAndStillAdvances) {
  audiotest::AudioTest::PutTrack(1, 0, 2, [](int32_t) { return int16_t{5000}; });
  song.mixSecond = 0;
  song.ringSecond = 4;
  MixBlock();
  EXPECT_EQ(std::vector<uint8_t>(runState.mixBlock, runState.mixBlock + BytesPerSecond),
            std::vector<uint8_t>(BytesPerSecond, 0));
  EXPECT_EQ(song.mixSecond, 1);
  EXPECT_EQ(song.ringSecond, 5);
}

TEST_F(MixerTest, HeardTracksAreScaledAndSummedForTheSecondBeingMixed) {
  PutTrack(1, 0, 4, [](int32_t at) { return static_cast<int16_t>(1000 * (at / BytesPerSecond)); });
  PutTrack(3, 0, 4, [](int32_t) { return int16_t{-1000}; });
  PutTrack(5, 0, 4, [](int32_t) { return int16_t{7777}; });  // not heard
  tracks[1].playOn = 1;
  tracks[1].volume = 80;
  tracks[3].playOn = 1;
  tracks[3].volume = 50;
  song.mixSecond = 3;
  song.ringSecond = 7;
  MixBlock();
  // 3,000 at 80 % is 2,400; -1,000 at 50 % is -499.
  for (int32_t at = 0; at < BytesPerSecond; at += 2) {
    ASSERT_EQ(SampleAt(runState.mixBlock, at), 1901) << at;
  }
  // The ring slot of the second just mixed holds the track's raw audio.
  EXPECT_EQ(SampleAt(tracks[1].audioRing[7 % 3], 100), 3000);
}

TEST_F(MixerTest, ArmedTrackIsPunchedAndDryWhileOthersGoThroughTheEffect) {
  EffectReset();
  PutTrack(2, 0, 6, [](int32_t) { return int16_t{400}; });
  // An impulse on the effect track: the known first frames of a fresh reverb.
  PutTrack(4, 5, 1,
           [](int32_t at) { return static_cast<int16_t>(at == 5 * BytesPerSecond ? 1000 : 0); });
  song.armedTrack = 2;
  tracks[2].effectOn = 1;
  tracks[2].volume = 100;
  tracks[4].playOn = 1;
  tracks[4].effectOn = 1;
  tracks[4].volume = 100;
  song.markerInMs = 20000;
  song.markerOutMs = 25000;
  song.mixSecond = 5;
  MixBlock();
  EXPECT_EQ(SampleAt(runState.mixBlock, 0), 400 + 1029);
  EXPECT_EQ(SampleAt(runState.mixBlock, 2), 400 + 29);
  EXPECT_EQ(SampleAt(runState.mixBlock, 4), 400);
  EXPECT_EQ(SampleAt(runState.mixBlock, 6), 400);
  EXPECT_EQ(SampleAt(runState.mixBlock, 8), 400 - 20);  // -21 at full level adds -20
  EXPECT_EQ(SampleAt(runState.mixBlock, 10), 400 - 20);
  EXPECT_EQ(SampleAt(runState.mixBlock, 40000), 400);  // the dry armed track alone

  // Inside the markers the armed track's old take is not heard.
  song.mixSecond = 21;
  tracks[4].playOn = 0;
  PutTrack(2, 21, 1, [](int32_t) { return int16_t{400}; });
  MixBlock();
  EXPECT_EQ(std::vector<uint8_t>(runState.mixBlock, runState.mixBlock + BytesPerSecond),
            std::vector<uint8_t>(BytesPerSecond, 0));
}

TEST_F(MixerTest, EffectTailWaitsWhileTheSendIsUnused) {
  uint32_t noise = 12345;
  PutTrack(4, 0, 1, [&](int32_t) {
    noise = noise * 1103515245 + 12345;
    return static_cast<int16_t>((noise >> 16) % 40000 - 20000);
  });
  tracks[4].effectOn = 1;
  tracks[4].volume = 90;

  auto mixSecond = [](int second) {
    song.mixSecond = second;
    MixBlock();
    return std::vector<uint8_t>(runState.mixBlock, runState.mixBlock + BytesPerSecond);
  };
  EffectReset();
  tracks[4].playOn = 1;
  mixSecond(0);
  const std::vector<uint8_t> tailAtOnce = mixSecond(1);
  ASSERT_NE(tailAtOnce, std::vector<uint8_t>(BytesPerSecond, 0));

  EffectReset();
  mixSecond(0);
  tracks[4].playOn = 0;
  for (int s = 1; s <= 5; ++s) mixSecond(s);
  tracks[4].playOn = 1;
  EXPECT_EQ(mixSecond(6), tailAtOnce);
}

TEST_F(MixerTest, MissingEffectMixesTheSendDry) {
  EffectRelease();
  PutTrack(4, 0, 1, [](int32_t) { return int16_t{-3000}; });
  tracks[4].playOn = 1;
  tracks[4].effectOn = 1;
  tracks[4].volume = 50;
  MixBlock();
  // -1,499 in the send, then added at full level: rounded once more.
  EXPECT_EQ(SampleAt(runState.mixBlock, 0), -1498);
  EXPECT_EQ(SampleAt(runState.mixBlock, BytesPerSecond - 2), -1498);
}

}  // namespace
