// The in-memory input and output the coders read and write instead of files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

struct MemoryInput {
  std::span<const uint8_t> data;
  size_t position = 0;

  // Copies up to count bytes; returns how many (0 at the end).
  size_t Read(void* destination, size_t count) {
    const size_t take = std::min(count, data.size() - position);
    if (take > 0) std::memcpy(destination, data.data() + position, take);
    position += take;
    return take;
  }
};

struct MemoryOutput {
  std::span<uint8_t> data;
  size_t position = 0;
  bool overflow = false;

  // Bytes beyond the capacity are dropped, and that is remembered.
  void Write(const void* source, size_t count) {
    const size_t take = std::min(count, data.size() - position);
    if (take > 0) std::memcpy(data.data() + position, source, take);
    position += take;
    if (take < count) overflow = true;
  }
};
