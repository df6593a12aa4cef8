// Large buffers that may not be had: allocation failures are reported to the
// user, never thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using Buffer = std::unique_ptr<uint8_t[]>;

// A buffer of `bytes` bytes (contents undefined), or null when memory is short.
Buffer TryAllocate(size_t bytes);

// For tests of the out-of-memory paths: the allocation after `skip` more
// successful ones fails (once). A negative value turns the fault off.
void FailAllocationAfter(int skip);
