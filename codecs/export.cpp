#include "codecs/export.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <system_error>
#include <thread>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "base/bytes.h"
#include "codecs/encoders.h"
#include "codecs/ogg.h"
#include "codecs/wav.h"
#include "platform/platform.h"
#include "song/notices.h"
#include "song/song_file.h"

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view extension) {
  if (name.size() <= extension.size()) return false;
  const std::string_view end = name.substr(name.size() - extension.size());
  for (size_t i = 0; i < end.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(end[i])) != extension[i]) return false;
  }
  return true;
}

// The file's name without its folder and its last extension.
std::string_view Stem(std::string_view path) {
  path = path.substr(path.find_last_of('/') + 1);
  const size_t dot = path.find_last_of('.');
  return dot == 0 || dot == std::string_view::npos ? path : path.substr(0, dot);
}

// The song's name as a title: the song file's, or for the working song (whose
// file is "default.svl" whatever the user calls it) the exported file's.
std::string_view TitleFor(const std::string& exportPath) {
  if (songPath.empty() || songPath == WorkingFilePath()) return Stem(exportPath);
  return Stem(songPath);
}

// The bytes of stereo PCM up to and with its last frame that is not silent.
uint32_t SoundingBytes(const uint8_t* pcm, uint32_t n) {
  uint32_t frames = n / 4;
  while (frames > 0 && LoadU32(pcm + 4 * (frames - 1)) == 0) --frames;
  return frames * 4;
}

}  // namespace

ExportFormat ExportFormatOf(std::string_view name) {
  if (EndsWithNoCase(name, "wav")) return ExportFormat::Wav;
  if (EndsWithNoCase(name, "ogg")) return ExportFormat::Ogg;
  if (EndsWithNoCase(name, "flac")) return ExportFormat::Flac;
  if (EndsWithNoCase(name, "mp3")) return ExportFormat::Mp3;
  return ExportFormat::None;
}

int ExportMixTo(const std::string& path, ExportSpan span) {
  const ExportFormat format = ExportFormatOf(path);
  if (format == ExportFormat::None) return 0;
  // The bytes the recording would replace between the markers: the same frames.
  const int32_t in = MsToByteOffset(song.markerInMs);
  const int32_t out = MsToByteOffset(song.markerOutMs);
  if (span == ExportSpan::BetweenMarkers && out <= in) {
    platform().ShowMessage("Export Between Markers: the in and out markers are at the same place",
                           "Error");
    return 0;
  }
  // Without the blocks allocated at start-up there is nothing to render into:
  // the export is refused the way the start-up said it.
  if (runState.mixBlock == nullptr || !song.workBuffer) {
    platform().Beep();
    platform().ShowMessage("Error: PlayStart", "Error");
    return 0;
  }
  uint8_t* mix = song.workBuffer.get() + kWavHeaderBytes;
  const uint32_t first = span == ExportSpan::BetweenMarkers ? static_cast<uint32_t>(in) : 0;
  const uint32_t most = span == ExportSpan::BetweenMarkers ? static_cast<uint32_t>(out - in)
                                                           : uint32_t{TrackRegionBytes};
  if (format == ExportFormat::Wav) {
    // Writing a WAV file is all copying: there is nothing to run beside the mix.
    RenderMix();
    const uint32_t n = span == ExportSpan::TrimmedEnd ? SoundingBytes(mix, most) : most;
    return WriteWavFile(path, mix + first, n);
  }

  PcmFeed feed(mix + first);
  Encoded encoded;
  const std::string title(TitleFor(path));
  auto encode = [&] {
    switch (format) {
      case ExportFormat::Ogg:
        encoded = EncodeOggExport(feed);
        break;
      case ExportFormat::Flac:
        encoded = EncodeFlac(feed, most);
        break;
      default:
        encoded = EncodeMp3(feed, most, title);
        break;
    }
    feed.Abandon();
  };
  // The encoder reads each second as soon as it is mixed; the mixer stays on this
  // thread, where the progress is told. Whatever the mix allocates, it does before.
  RenderMixStart();
  std::thread encoder;
  try {
    encoder = std::thread(encode);
  } catch (const std::system_error&) {
    // No thread to be had: mix first, then encode, as a single thread does.
  }
  uint32_t sounding = 0;
  RenderMixSeconds([&](int seconds) {
    const uint32_t mixed = static_cast<uint32_t>(seconds) * BytesPerSecond;
    if (span == ExportSpan::TrimmedEnd) {
      // Silence is held back until something sounds after it (or the song ends).
      const uint32_t last = mixed - BytesPerSecond;
      const uint32_t heard = SoundingBytes(mix + last, BytesPerSecond);
      if (heard > 0) sounding = last + heard;
      feed.Publish(sounding);
    } else {
      feed.Publish(std::clamp(mixed, first, first + most) - first);
    }
    return !feed.Abandoned();
  });
  // After an encoder gave up this closes what it no longer reads.
  feed.Close(span == ExportSpan::TrimmedEnd ? sounding : most);
  if (encoder.joinable()) {
    encoder.join();
  } else {
    encode();
  }
  const std::string_view failed = format == ExportFormat::Ogg    ? "ExportSave - failed"
                                  : format == ExportFormat::Flac ? "WriteFlacFile - failed"
                                                                 : "WriteMp3File - failed";
  return SaveEncoded(path, failed, encoded);
}

int WriteAudioFile(ExportFormat format, const std::string& path, uint8_t* pcm, uint32_t n) {
  switch (format) {
    case ExportFormat::Wav:
      return WriteWavFile(path, pcm, n);
    case ExportFormat::Ogg:
      return ExportSave(path, pcm, n);
    case ExportFormat::Flac:
      return WriteFlacFile(path, pcm, n);
    case ExportFormat::Mp3:
      return WriteMp3File(path, pcm, n, TitleFor(path));
    case ExportFormat::None:
      break;
  }
  return 0;
}

void RenderMixStart() {
  EffectReset();
  song.mixSecond = 0;
  song.ringSecond = 0;
  // Every loop starts at its beginning, as when the transport starts at 0:00.
  LoopsSeek(0);
}

void RenderMixSeconds(const std::function<bool(int seconds)>& mixed) {
  uint8_t* timeline = song.workBuffer.get() + kWavHeaderBytes;
  for (int second = 0; second < SongSeconds; ++second) {
    NoticeProgress(second);
    MixBlock();
    std::memcpy(timeline + int64_t{second} * BytesPerSecond, runState.mixBlock, BytesPerSecond);
    if (!mixed(second + 1)) break;
  }
  NoticeProgress(0);
}

void RenderMix() {
  RenderMixStart();
  RenderMixSeconds([](int) { return true; });
}
