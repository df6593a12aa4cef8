// 16- and 32-bit values stored little-endian at any byte address: the order of
// every file this program reads or writes and of its audio buffers. A memcpy of
// the value's size compiles to one unaligned load or store, so sample loops built
// on these still run on vector instructions.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The bytes are copied as they lie; a big-endian host would have to swap them.
static_assert(std::endian::native == std::endian::little,
              "files and audio buffers are little-endian and are read as host values");

namespace bytes_detail {

template <typename T>
T Load(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void Store(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

}  // namespace bytes_detail

inline uint16_t LoadU16(const uint8_t* at) {
  return bytes_detail::Load<uint16_t>(at);
}
inline int16_t LoadI16(const uint8_t* at) {
  return bytes_detail::Load<int16_t>(at);
}
inline uint32_t LoadU32(const uint8_t* at) {
  return bytes_detail::Load<uint32_t>(at);
}
inline int32_t LoadI32(const uint8_t* at) {
  return bytes_detail::Load<int32_t>(at);
}

inline void StoreU16(uint8_t* at, uint16_t value) {
  bytes_detail::Store(at, value);
}
inline void StoreI16(uint8_t* at, int16_t value) {
  bytes_detail::Store(at, value);
}
inline void StoreU32(uint8_t* at, uint32_t value) {
  bytes_detail::Store(at, value);
}
inline void StoreI32(uint8_t* at, int32_t value) {
  bytes_detail::Store(at, value);
}
