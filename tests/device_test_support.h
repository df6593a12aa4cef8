// What the wave device tests share: the notices the devices post, collected as
// they arrive against a deadline, so a device that never answers fails the test
// instead of hanging it.
#pragma once

#include <gmock/gmock.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/wave.h"
#include "tests/fake/fake_platform.h"

inline std::vector<Message> received;

inline void Receive(const Message& m) {
  received.push_back(m);
}

// Collects posted messages until `done` holds or five seconds pass.
template <typename Done>
bool CollectUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    fakePlatform.PumpTo(Receive);
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

inline bool WaitForMessages(size_t count) {
  return CollectUntil([count] { return received.size() >= count; });
}

inline WaveHeader HeaderFor(std::vector<uint8_t>& bytes) {
  WaveHeader h;
  h.data = bytes.data();
  h.bufferLength = static_cast<uint32_t>(bytes.size());
  return h;
}

inline Message Notice(uint32_t id, uint32_t generation, const WaveHeader* h) {
  return {id, generation, reinterpret_cast<intptr_t>(h)};
}

MATCHER_P(IsMessage, expected, "") {
  return arg.id == expected.id && arg.wParam == expected.wParam && arg.lParam == expected.lParam;
}
