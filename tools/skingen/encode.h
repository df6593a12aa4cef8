// File formats the program reads back: the skin BMP, its CMP container, and the C++
// source that carries both blobs and the icon into the program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/skingen/raster.h"

// A 24-bit bottom-up BMP with a 40-byte info header and no palette, rows padded to
// four bytes. The file-size field says 40 bytes less than the file really holds,
// the value the skin loader has always been given; it never reads that field.
std::vector<uint8_t> EncodeBmp(const Canvas& c);
constexpr uint32_t kDeclaredBmpSize = 1094450;

// "CMP\0", the unpacked size (little-endian), then a zlib stream of the data.
// Returns an empty vector if zlib fails.
std::vector<uint8_t> PackCmp(std::span<const uint8_t> data);

// The generated translation unit: NormalSkinBlob(), LitSkinBlob(), AppIconPixels().
std::string SkinDataSource(std::span<const uint8_t> normal, std::span<const uint8_t> lit,
                           std::span<const uint32_t> icon);

// Icon pixels as the program wants them: rows top to bottom, 0xFFRRGGBB.
std::vector<uint32_t> IconPixels(const Canvas& icon);
