#include "base/buffer.h"

#include <new>

namespace {
int failCountdown = -1;
}

Buffer TryAllocate(size_t bytes) {
  if (failCountdown >= 0 && failCountdown-- == 0) return nullptr;
  return Buffer(new (std::nothrow) uint8_t[bytes]);
}

void FailAllocationAfter(int skip) {
  failCountdown = skip;
}
