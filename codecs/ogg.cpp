#include "codecs/ogg.h"

#include "base/buffer.h"
#include "codecs/ffmpeg_import.h"
#include "codecs/file_io.h"
#include "codecs/wav.h"
#include "platform/platform.h"

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

int ExportSave(const std::string& path, uint8_t* mix, uint32_t n) {
  uint8_t* image = mix - kWavHeaderBytes;
  BuildWavHeader(image, n);
  Buffer output = TryAllocate(kOggOutputBytes);
  if (!output) {
    platform().ShowMessage("ExportSave: malloc failed", "Error");
    return 0;
  }
  bool overflow = false;
  const int32_t size = EncodeWavImage({image, size_t{n} + kWavHeaderBytes},
                                      {output.get(), size_t{kOggOutputBytes}}, &overflow);
  // A cut-off stream would still open in players and just stop early: refuse it.
  if (overflow) {
    platform().ShowMessage("ExportSave: encoded mix too large", "Error");
    return 0;
  }
  int error = 0;
  if (!WriteWholeFile(path, {{output.get(), static_cast<size_t>(size)}}, &error)) {
    platform().ShowMessage(FailureText("ExportSave - failed", path, error), "Error");
    return 0;
  }
  return 1;
}
