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

// A failure message: its first line, then the file and the system's reason on a
// line of their own ("WriteWavFile - failed\n/home/me/mix.wav: Permission denied").
std::string FailureText(std::string_view first, std::string_view path, int error);
// The same with a reason in words, where a library gave one.
std::string FailureText(std::string_view first, std::string_view path, std::string_view reason);
