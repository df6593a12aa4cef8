// The program's 32 x 32 icon (generated at build time with the skin).
#pragma once

#include <cstdint>
#include <span>

constexpr int kIconSize = 32;
// 32 x 32 pixels, rows top to bottom, 0xFFRRGGBB each.
std::span<const uint32_t> AppIconPixels();
