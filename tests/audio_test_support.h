// Shared set-up of the audio engine tests: a fresh song file in a folder of the
// test's own, the engine started through its entry points, and helpers to place
// and read back track audio and to drive the fake devices.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "audio/input_channels.h"
#include "audio/mixer.h"
#include "audio/playback.h"
#include "audio/recording.h"
#include "audio/reverb.h"
#include "audio/stream.h"
#include "base/buffer.h"
#include "base/bytes.h"
#include "base/paths.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "tests/fake/fake_platform.h"

namespace audiotest {

inline int16_t SampleAt(const uint8_t* block, int32_t byteOffset) {
  return LoadI16(block + byteOffset);
}

inline void PutSample(uint8_t* block, int32_t byteOffset, int16_t v) {
  StoreI16(block + byteOffset, v);
}

// Delivers every posted notice to the engine, as the window procedure would.
inline int DeliverNotices() {
  return fakePlatform.PumpTo([](const Message& m) { WaveMessage(m.id, m.wParam, m.lParam); });
}

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = MakeTempFolder("audio");
    ASSERT_FALSE(folder.empty());
    workDir = folder;
    fakePlatform.Reset();
    fakePlatform.clock = 50000;
    fakeWaveOut = FakeWaveOut{};
    fakeWaveIn = FakeWaveIn{};
    FailAllocationAfter(-1);
    if (!song.workBuffer) song.workBuffer = TryAllocate(WorkBufferBytes);
    song.running = 0;
    song.armedTrack = 0;
    song.positionMs = 0;
    song.markerInMs = 0;
    song.markerOutMs = 281000;
    song.mixSecond = 0;
    song.ringSecond = 0;
    SetLoopBetweenMarkers(false);
    SetInputChannels(InputChannels::Stereo);
    for (int t = 0; t <= TrackCount; ++t) {
      Track& track = tracks[t];
      track.index = t;
      track.playOn = 0;
      track.effectOn = 0;
      track.volume = 80;
      track.meterLevel = 0;
      track.loopOn = 0;
      track.loopStart = track.loopEnd = track.loopPos = 0;
    }
    SongFileInit();
    AudioInit();
    RecordInit();
  }

  void TearDown() override {
    RecordRelease();
    AudioRelease();
    SongFileClose();
    FailAllocationAfter(-1);
    fakePlatform.Reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }

  std::string folder;

  // Writes `seconds` whole seconds into track t from second `first`, each sample
  // given by value(timeline byte offset of the sample).
  static void PutTrack(int t, int first, int seconds,
                       const std::function<int16_t(int32_t)>& value) {
    std::vector<uint8_t> bytes(static_cast<size_t>(first + seconds) * BytesPerSecond);
    for (int32_t at = first * BytesPerSecond; at < (first + seconds) * BytesPerSecond; at += 2) {
      PutSample(bytes.data(), at, value(at));
    }
    FileWrite(tracks[t], bytes.data(), first * BytesPerSecond, seconds * BytesPerSecond);
  }

  // One second of track t as stored in the song file.
  static std::vector<uint8_t> TrackSecond(int t, int second) {
    const int keepMix = song.mixSecond;
    const int keepRing = song.ringSecond;
    const uint8_t keepLoop = tracks[t].loopOn;
    song.mixSecond = second;
    song.ringSecond = 0;
    tracks[t].loopOn = 0;
    ReadTrackBlock(tracks[t]);
    std::vector<uint8_t> out(tracks[t].audioRing[0], tracks[t].audioRing[0] + BytesPerSecond);
    song.mixSecond = keepMix;
    song.ringSecond = keepRing;
    tracks[t].loopOn = keepLoop;
    return out;
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : fakePlatform.messages) {
      EXPECT_EQ(m.caption, "Error");
      texts.push_back(m.text);
    }
    return texts;
  }
};

}  // namespace audiotest
