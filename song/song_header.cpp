#include "song/song_header.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

bool LoopFitsRegion(const Track& track) {
  // Offsets inside a frame would play noise with the channels swapped.
  return track.loopStart >= 0 && track.loopEnd <= TrackRegionBytes &&
         track.loopEnd > track.loopStart && track.loopStart % 4 == 0 && track.loopEnd % 4 == 0;
}

std::array<uint8_t, SongHeaderUsedBytes> EncodeSongHeader() {
  std::array<uint8_t, SongHeaderUsedBytes> out{};
  out[0] = SongHeaderVersion;
  for (int n = 1; n <= TrackCount; ++n) {
    const Track& t = tracks[n];
    uint8_t* r = out.data() + 1 + (n - 1) * SongHeaderRecordBytes;
    r[0] = t.playOn;
    r[1] = static_cast<uint8_t>(t.volume);
    std::memcpy(r + 2, t.name, NameLength);
    r[23] = t.effectOn;
    r[24] = t.loopOn;
    StoreI32(r + 25, t.loopStart);
    StoreI32(r + 29, t.loopEnd);
  }
  return out;
}

void DecodeSongHeader(std::span<const uint8_t> header) {
  // A short file (or none at all) reads as zeros, so work on a zeroed copy of
  // exactly the part that the layouts can reach.
  std::array<uint8_t, SongHeaderUsedBytes> h{};
  std::copy_n(header.begin(), std::min(header.size(), h.size()), h.begin());

  const bool version1 = h[0] == 1;
  const int recordBytes = version1 ? SongHeaderVersion1RecordBytes : SongHeaderRecordBytes;
  for (int n = 1; n <= TrackCount; ++n) {
    Track& t = tracks[n];
    const uint8_t* r = h.data() + 1 + (n - 1) * recordBytes;
    // The mixer and the speaker button treat these as switches: any other value
    // would show one state and play another.
    t.playOn = r[0] != 0;
    // The volume byte is signed; a negative gain would invert the track and draw
    // a slider of negative width.
    t.volume = static_cast<int8_t>(std::clamp<int>(static_cast<int8_t>(r[1]), 0, 90));
    // Only the 21 characters: the record's terminator stays where it was.
    std::memcpy(t.name, r + 2, NameLength);
    if (version1) {
      t.effectOn = 0;
      t.loopOn = 0;
      continue;
    }
    t.effectOn = r[23] != 0;
    t.loopOn = r[24] != 0;
    t.loopStart = LoadI32(r + 25);
    t.loopEnd = LoadI32(r + 29);
    // Offsets are kept as stored so a later save writes them back unchanged; a
    // loop that would reach outside the track's region just plays straight.
    if (!LoopFitsRegion(t)) t.loopOn = 0;
  }
}
