#include "codecs/ogg.h"

#include "base/buffer.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/file_io.h"
#include "codecs/wav.h"

int LoadOgg(Track& track, const std::string& path) {
  Buffer image = TryAllocate(kOggImageBytes);
  if (!image) {
    ReportDecodeFailure("LoadOgg", DecodeStatus::NoMemory, path);
    return 0;
  }
  const FileRead read = ReadFileStart(path, {image.get(), size_t{kOggImageBytes}});
  if (!read.opened) {
    ReportDecodeFailure("LoadOgg", DecodeStatus::MissingFile, path);
    return 0;
  }
  uint8_t* wav = song.workBuffer.get();
  DecodeStatus status = DecodeStatus::Ok;
  const int32_t r = DecodeOggImage({image.get(), read.bytes},
                                   {wav, static_cast<size_t>(TrackRegionBytes)}, &status);
  image.reset();
  if (status == DecodeStatus::Undecodable) {
    return LoadWithFfmpeg(track, path, "LoadOgg", "no audio could be decoded");
  }
  if (status != DecodeStatus::Ok) {
    ReportDecodeFailure("LoadOgg", status, path);
    return 0;
  }
  const int32_t length = r > kWavHeaderBytes ? r - kWavHeaderBytes : 0;
  return StoreImportedAudio(track, wav + kWavHeaderBytes, length, path, 0);
}

Encoded EncodeOggExport(PcmFeed& feed) {
  Encoded encoded;
  encoded.bytes = TryAllocate(kOggOutputBytes);
  if (!encoded.bytes) {
    encoded.message = "ExportSave: malloc failed";
    return encoded;
  }
  bool overflow = false;
  const int32_t size =
      EncodeVorbis(feed, {encoded.bytes.get(), size_t{kOggOutputBytes}}, &overflow);
  // A cut-off stream would still open in players and just stop early: refuse it.
  if (overflow) {
    encoded.message = "ExportSave: encoded mix too large";
    return encoded;
  }
  encoded.length = static_cast<size_t>(size);
  return encoded;
}

int ExportSave(const std::string& path, uint8_t* mix, uint32_t n) {
  PcmFeed feed(mix, n);
  return SaveEncoded(path, "ExportSave - failed", EncodeOggExport(feed));
}
