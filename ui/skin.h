// The two embedded skin pictures: CMP containers holding a zlib-packed BMP file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ui/surface.h"

// Unpacks a CMP blob into buffer. Returns the bytes produced, or 3 when the blob
// lacks the "CMP\0" magic (after telling the user). A corrupt stream yields 0.
size_t LoadFileUnCmp(std::span<const uint8_t> blob, std::span<uint8_t> buffer);

// Draws a BMP file held in memory into the surface at (0, 0). Returns 1 when the
// file was drawn, 0 when its header or rows do not fit in what was unpacked (the
// surface is then left as it was).
int BitmapCopy(std::span<const uint8_t> file, Surface& surface);

// The pictures carried inside the program (generated at build time).
std::span<const uint8_t> NormalSkinBlob();  // "Image.bmz"
std::span<const uint8_t> LitSkinBlob();     // "Image1.bmz"
