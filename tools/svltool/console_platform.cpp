#include "tools/svltool/console_platform.h"

#include <time.h>

#include <cstdio>

namespace {

// A message's second line (the file and the reason) follows its first on the
// same line, so every report stays one line.
std::string OneLine(std::string_view text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      line += ": ";
    } else {
      line += c == '\r' ? ' ' : c;
    }
  }
  return line;
}

}  // namespace

void ConsolePlatform::ShowMessage(std::string_view text, std::string_view caption) {
  ++failures;
  WriteLine(text, caption);
}

void ConsolePlatform::ShowInformation(std::string_view text, std::string_view caption) {
  WriteLine(text, caption);
}

void ConsolePlatform::WriteLine(std::string_view text, std::string_view caption) {
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
