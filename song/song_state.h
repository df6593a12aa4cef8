// The song in memory: one SongState and the track records, numbered 1 to 8
// (record 0 exists so a track number indexes the array and 0 means no track).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

constexpr int TrackCount = 8;
constexpr int32_t BytesPerSecond = 176400;
constexpr int32_t SongSeconds = 281;
constexpr int32_t TrackRegionBytes = 49568400;  // SongSeconds * BytesPerSecond
constexpr int32_t SongHeaderBytes = 8000;
constexpr int32_t WorkBufferBytes = 49569444;  // 44-byte header room + timeline + 1,000 spare
constexpr int NameLength = 21;
constexpr int SongMs = SongSeconds * 1000;
// The markers move in pixels of the position bar: 0 at the song's start, this at
// its end.
constexpr int MarkerLastPx = 280;

struct Track {
  int32_t index = 0;
  uint8_t effectOn = 0;
  uint8_t playOn = 0;
  uint8_t audioRing[3][BytesPerSecond];
  int8_t volume = 0;
  int8_t meterLevel = 0;
  uint8_t loopOn = 0;
  int32_t loopStart = 0;
  int32_t loopEnd = 0;
  int32_t loopPos = 0;
  char name[NameLength + 1] = {};
};

struct SongState {
  int running = 0;
  int armedTrack = 0;
  int positionMs = 0;
  int positionSeconds = 0;
  int markerInPx = 0;
  int markerOutPx = MarkerLastPx;
  int markerInMs = 0;
  int markerOutMs = SongMs;
  int mixSecond = 0;
  int ringSecond = 0;
  std::unique_ptr<uint8_t[]> workBuffer;
};

extern SongState song;
extern Track tracks[TrackCount + 1];

// Unit conversions, integer arithmetic rounding down.
constexpr int32_t MsToByteOffset(int64_t ms) {
  return static_cast<int32_t>((ms * 1764 / 10) & ~int64_t{3});
}
constexpr int ByteOffsetToSeconds(int64_t offset) {
  return static_cast<int>(offset * SongSeconds / TrackRegionBytes);
}
constexpr int MarkerPxToMs(int64_t px) {
  return static_cast<int>(px * TrackRegionBytes / 1764 / 28);
}
constexpr int MarkerMsToPx(int64_t ms) {
  return static_cast<int>(ms * 49392 / TrackRegionBytes);
}
static_assert(MarkerMsToPx(SongMs) == MarkerLastPx);

// Once, at start-up: the song's fields, the track numbers and the work buffer.
// Returns 0, after telling the user, when the work buffer cannot be allocated.
int SongStateInit();
// The settings of an empty song: every track silent, dry, at volume 80, unnamed
// and not looping (its loop offsets are kept); no track armed; the position at
// 0:00 and the markers at the song's ends.
void ResetSongSettings();
// The name as the panel draws it (bytes outside 32..126 as spaces), without the
// padding at its end.
std::string ShownName(const Track& track);
// True when the panel shows no name: every character a space, or a byte it
// draws as one.
bool TrackUnnamed(const Track& track);
// The first 21 characters of text as the track's name, padded with spaces.
void SetTrackName(Track& track, std::string_view text);
// Releases the work buffer at shut-down.
void SongStateRelease();
