#include "tools/svltool/console_platform.h"

#include <time.h>

#include <cstdio>

namespace {

// A path may hold a line break; the report stays one line.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

void ConsolePlatform::ShowMessage(std::string_view text, std::string_view caption) {
  ++failures;
  std::string line = program_ + ": ";
  if (!caption.empty()) line += OneLine(caption) + ": ";
  line += OneLine(text);
  std::fprintf(stderr, "%s\n", line.c_str());
}

uint32_t ConsolePlatform::ClockMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}
