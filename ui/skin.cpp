#include "ui/skin.h"

#include <zlib.h>

#include <cstring>

#include "base/buffer.h"
#include "base/bytes.h"
#include "platform/platform.h"
#include "ui/control_manager.h"

namespace {

constexpr size_t kUnpackCapacity = 2000000;

void LoadLayer(std::span<const uint8_t> blob, std::span<uint8_t> buffer, Surface& layer) {
  const size_t n = LoadFileUnCmp(blob, buffer);
  // 3 is the bad-magic answer; a real picture is far larger than that.
  if (n <= 3) return;
  BitmapCopy(buffer.first(n), layer);
}

}  // namespace

size_t LoadFileUnCmp(std::span<const uint8_t> blob, std::span<uint8_t> buffer) {
  static constexpr uint8_t kMagic[4] = {'C', 'M', 'P', 0};
  if (blob.size() < 4 || std::memcmp(blob.data(), kMagic, 4) != 0) {
    platform().ShowMessage("LoadFileUnCmp:No CMP File Header", "Error: Not a CMP File");
    return 3;
  }
  if (blob.size() < 8) return 0;
  uLongf produced = buffer.size();
  const int rc = uncompress(buffer.data(), &produced, blob.data() + 8, blob.size() - 8);
  // A stream that does not unpack completely gives nothing rather than half a picture.
  if (rc != Z_OK) return 0;
  return produced;
}

int BitmapCopy(std::span<const uint8_t> file, Surface& surface) {
  if (surface.Empty() || file.size() < 54) return 0;
  const uint32_t offset = LoadU32(file.data() + 10);
  const int32_t width = LoadI32(file.data() + 18);
  const int32_t height = LoadI32(file.data() + 22);
  const uint16_t bits = LoadU16(file.data() + 28);
  const uint32_t compression = LoadU32(file.data() + 30);
  // Only what the pictures are: uncompressed 24-bit, bottom-up, not larger than a layer.
  if (bits != 24 || compression != 0 || width <= 0 || height <= 0 || width > kSkinWidth ||
      height > kSkinHeight) {
    return 0;
  }
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const size_t rowsBytes = stride * static_cast<size_t>(height);
  if (offset > file.size() || file.size() - offset < rowsBytes) return 0;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = file.data() + offset + stride * static_cast<size_t>(height - 1 - row);
    uint32_t* to = &surface.pixels[static_cast<size_t>(row) * kSkinWidth];
    for (int32_t col = 0; col < width; ++col) {
      const uint8_t* p = from + col * 3;
      to[col] =
          0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
  }
  return 1;
}

int ControlManager::LoadSkin() {
  normalLayer.Create();
  litLayer.Create();
  backSurface.Create();
  const Buffer buffer = TryAllocate(kUnpackCapacity);
  if (buffer) {
    const std::span<uint8_t> work(buffer.get(), kUnpackCapacity);
    LoadLayer(NormalSkinBlob(), work, normalLayer);
    LoadLayer(LitSkinBlob(), work, litLayer);
  }
  ClearControls();
  return 1;
}

void ControlManager::ReleaseSkin() {
  normalLayer.Release();
  litLayer.Release();
  backSurface.Release();
}
