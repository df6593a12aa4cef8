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

namespace {

bool BlocksReady() {
  if (runState.mixBlock == nullptr || runState.sendBlock == nullptr) return false;
  std::memset(runState.mixBlock, 0, BytesPerSecond);
  std::memset(runState.sendBlock, 0, BytesPerSecond);
  return true;
}

// Adds n bytes of a track's audio at `at` in the block, to the mix or to the
// effect's send. The armed track is always mixed dry.
void AddTrack(const Track& track, bool armed, const uint8_t* audio, int32_t at, int32_t n,
              bool& sendUsed) {
  if (track.effectOn == 1 && !armed) {
    MixAdd(runState.sendBlock + at, n, audio, n, track.volume);
    sendUsed = true;
  } else {
    MixAdd(runState.mixBlock + at, n, audio, n, track.volume);
  }
}

// The effect's state moves on only in seconds that feed it, so a tail picks up
// where it stopped when the send comes back. Without an effect the send is dry.
void ReturnSend(bool sendUsed) {
  if (!sendUsed) return;
  if (EffectReady()) EffectBlock(runState.sendBlock, kFramesPerSecond);
  MixAdd(runState.mixBlock, BytesPerSecond, runState.sendBlock, BytesPerSecond, 100);
}

}  // namespace

int MixBlock() {
  if (!BlocksReady()) return 0;
  bool sendUsed = false;
  for (int t = 1; t <= TrackCount; ++t) {
    Track& track = tracks[t];
    const bool armed = t == song.armedTrack;
    if (track.playOn == 0 && !armed) continue;
    const int32_t n = ReadTrackBlock(track);
    uint8_t* slot = track.audioRing[song.ringSecond % 3];
    if (armed) PunchMute(slot);
    if (n != BytesPerSecond) continue;
    AddTrack(track, armed, slot, 0, BytesPerSecond, sendUsed);
  }
  ReturnSend(sendUsed);
  ++song.mixSecond;
  ++song.ringSecond;
  return 0;
}

int MixLoopBlock() {
  if (!BlocksReady()) return 0;
  bool sendUsed = false;
  // The ring slot holds the second as it is heard, both sides of the join, so
  // the meters read it like any other.
  const int slot = song.ringSecond % 3;
  for (int32_t at = 0; at < BytesPerSecond;) {
    if (runState.loopNext >= runState.loopOut) runState.loopNext = runState.loopIn;
    const int32_t n = std::min(runState.loopOut - runState.loopNext, BytesPerSecond - at);
    for (int t = 1; t <= TrackCount; ++t) {
      Track& track = tracks[t];
      if (track.playOn == 0) continue;
      uint8_t* part = track.audioRing[slot] + at;
      ReadTrackPart(track, runState.loopNext, {part, static_cast<size_t>(n)});
      AddTrack(track, false, part, at, n, sendUsed);
    }
    runState.loopNext += n;
    at += n;
  }
  // One send for the whole second: the reverb hears the join as the listener does.
  ReturnSend(sendUsed);
  ++song.ringSecond;
  return 0;
}
