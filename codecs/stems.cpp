#include "codecs/stems.h"

#include <algorithm>

#include "base/file_handle.h"
#include "codecs/wav.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"

namespace {

bool HoldsAudio(const uint8_t* region, size_t n) {
  return std::any_of(region, region + n, [](uint8_t b) { return b != 0; });
}

}  // namespace

std::string StemName(const Track& track, ExportFormat format) {
  std::string name(track.name, NameLength);
  for (char& c : name) {
    if (c < 32 || c > 126) c = ' ';  // as the panel draws it
    if (c == '/') c = '-';           // no folder of its own
  }
  name.erase(name.find_last_not_of(' ') + 1);
  name.erase(0, name.find_first_not_of(' '));
  if (name.empty()) name = "Track " + std::to_string(track.index);
  const char digits[3] = {static_cast<char>('0' + track.index / 10),
                          static_cast<char>('0' + track.index % 10), '\0'};
  return std::string(digits) + " " + name + (format == ExportFormat::Flac ? ".flac" : ".wav");
}

int ExportTracksTo(const std::string& folder, ExportFormat format) {
  if (!RequireOpenSong() || !song.workBuffer) return 0;
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  // The 44 bytes in front stay free for the writers that need a header there.
  uint8_t* region = song.workBuffer.get() + kWavHeaderBytes;
  int written = 0;
  for (int t = 1; t <= TrackCount; ++t) {
    NoticeProgress((t - 1) * SongSeconds / TrackCount);
    SongFileHandle().ReadZeroFilled(TrackRegionStart(tracks[t]), {region, TrackRegionBytes});
    if (!HoldsAudio(region, TrackRegionBytes)) continue;
    if (WriteAudioFile(format, base + StemName(tracks[t], format), region, TrackRegionBytes) != 1) {
      NoticeProgress(0);
      return 0;
    }
    ++written;
  }
  NoticeProgress(0);
  if (written == 0) {
    platform().ShowMessage("Export Tracks: no track holds any audio", "Error");
  }
  return written;
}
