#include "audio/mixer.h"

#include <algorithm>
#include <cstring>

#include "audio/reverb.h"
#include "audio/vector_clones.h"
#include "base/buffer.h"
#include "base/bytes.h"
#include "platform/platform.h"
#include "song/song_file.h"

namespace {

Buffer mixMemory;
Buffer sendMemory;

constexpr int kFramesPerSecond = BytesPerSecond / 4;

}  // namespace

int MixerBlocksInit() {
  if (runState.mixBlock != nullptr) return 1;
  mixMemory = TryAllocate(BytesPerSecond);
  sendMemory = TryAllocate(BytesPerSecond);
  if (!mixMemory || !sendMemory) {
    mixMemory.reset();
    sendMemory.reset();
    return 0;
  }
  std::memset(mixMemory.get(), 0, BytesPerSecond);
  std::memset(sendMemory.get(), 0, BytesPerSecond);
  runState.mixBlock = mixMemory.get();
  runState.sendBlock = sendMemory.get();
  return 1;
}

void MixerBlocksRelease() {
  runState.mixBlock = nullptr;
  runState.sendBlock = nullptr;
  mixMemory.reset();
  sendMemory.reset();
}

// Eight samples per instruction where the processor has 8-wide integer vectors.
VECTOR_CLONES int MixAdd(uint8_t* dest, int32_t, const uint8_t* source, int32_t length,
                         int volume) {
  if (length > TrackRegionBytes) {
    platform().ShowMessage("Error: MixWith - too big", "Error");
    return 0;
  }
  if (length % 4 != 0) {
    platform().ShowMessage("Error: MixAdd - wavlen must be /4", "Error");
    return 0;
  }
  volume = std::min(volume, 100);
  for (int32_t i = 0; i + 1 < length; i += 2) {
    // Truncating division: -1 at full volume adds nothing, +1 adds one. Existing
    // songs sound the way this rounding made them.
    const int32_t added = (LoadI16(source + i) * volume + 50) / 100;
    const int32_t sum = LoadI16(dest + i) + added;
    StoreI16(dest + i, static_cast<int16_t>(std::clamp(sum, -32768, 32767)));
  }
  return 1;
}

void PunchMute(uint8_t* slot) {
  const int64_t k = song.mixSecond;
  const int64_t in = song.markerInMs;
  const int64_t out = song.markerOutMs;
  if ((k + 1) * 1000 < in || k * 1000 > out) return;
  if (k * 1000 >= in && (k + 1) * 1000 <= out) {
    std::memset(slot, 0, BytesPerSecond);
    return;
  }
  double x = static_cast<double>(k);
  for (int f = 0; f < kFramesPerSecond; ++f) {
    const auto t = static_cast<int64_t>((x + 0.0005) * 1000);
    if (in <= t && t <= out) std::memset(slot + f * 4, 0, 4);
    x += 1.0 / kFramesPerSecond;
  }
}

void LoopsSeek(int second) {
  for (int t = 1; t <= TrackCount; ++t) {
    Track& track = tracks[t];
    if (track.loopOn == 0 || track.loopEnd == track.loopStart) continue;
    const int64_t span = int64_t{track.loopEnd} - track.loopStart;
    track.loopPos = static_cast<int32_t>(track.loopStart + int64_t{second} * BytesPerSecond % span);
  }
}

int MixBlock() {
  if (runState.mixBlock == nullptr || runState.sendBlock == nullptr) return 0;
  std::memset(runState.mixBlock, 0, BytesPerSecond);
  std::memset(runState.sendBlock, 0, BytesPerSecond);
  bool sendUsed = false;
  for (int t = 1; t <= TrackCount; ++t) {
    Track& track = tracks[t];
    const bool armed = t == song.armedTrack;
    if (track.playOn == 0 && !armed) continue;
    const int32_t n = ReadTrackBlock(track);
    uint8_t* slot = track.audioRing[song.ringSecond % 3];
    if (armed) PunchMute(slot);
    if (n != BytesPerSecond) continue;
    if (track.effectOn == 1 && !armed) {
      MixAdd(runState.sendBlock, BytesPerSecond, slot, BytesPerSecond, track.volume);
      sendUsed = true;
    } else {
      MixAdd(runState.mixBlock, BytesPerSecond, slot, BytesPerSecond, track.volume);
    }
  }
  // The effect's state moves on only in seconds that feed it, so a tail picks up
  // where it stopped when the send comes back. Without an effect the send is dry.
  if (sendUsed) {
    if (EffectReady()) EffectBlock(runState.sendBlock, kFramesPerSecond);
    MixAdd(runState.mixBlock, BytesPerSecond, runState.sendBlock, BytesPerSecond, 100);
  }
  ++song.mixSecond;
  ++song.ringSecond;
  return 0;
}
