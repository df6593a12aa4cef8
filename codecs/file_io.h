// Whole-file reads and writes for the sound-file loaders and writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

struct FileRead {
  size_t bytes = 0;     // bytes placed at the start of the destination
  bool opened = false;  // false: missing or not readable
};

// Reads the file's first bytes into destination, at most its size.
FileRead ReadFileStart(const std::string& path, std::span<uint8_t> destination);

// Creates the file (truncating one that exists) and writes the parts one after
// the other. Returns 1 when every byte reached the file and it closed cleanly;
// otherwise 0 with the system's error in *error, and a regular file we began is
// removed, so a failed write never leaves a short file that passes for a whole one.
int WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> parts,
                   int* error = nullptr);
