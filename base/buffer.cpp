#include "base/buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace {
int failCountdown = -1;
}

Buffer TryAllocate(size_t bytes) {
  if (failCountdown >= 0 && failCountdown-- == 0) return nullptr;
  Buffer buffer(new (std::nothrow) uint8_t[bytes]);
  // A track's worth is first touched all at once (decoded into, mixed into): in
  // huge pages that is a few dozen faults instead of twelve thousand. Only a hint.
  constexpr size_t kHuge = size_t{2} << 20;
  if (buffer && bytes >= 4 * kHuge) {
    const auto start = reinterpret_cast<uintptr_t>(buffer.get());
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (start + bytes) & ~(kHuge - 1);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
  return buffer;
}

void FailAllocationAfter(int skip) {
  failCountdown = skip;
}
