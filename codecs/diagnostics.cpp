#include "codecs/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string_view>

bool DiagnosticsWanted() {
  const char* debug = std::getenv("SONAVEL_DEBUG");
  return debug != nullptr && std::string_view(debug) == "1";
}

void Diagnose(const char* format, ...) {
  if (!DiagnosticsWanted()) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}
