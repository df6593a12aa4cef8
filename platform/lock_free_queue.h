// A bounded queue that any thread may push to and pop from without a lock or an
// allocation: what an audio callback may use to talk to the rest of the program.
// Items come out in the order their pushes claimed a place, so pushes that one
// lock orders keep that order. A push into a full queue fails and changes nothing.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

template <typename T, size_t Capacity>
class LockFreeQueue {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  LockFreeQueue() {
    for (size_t i = 0; i < Capacity; ++i) cells[i].turn.store(i, std::memory_order_relaxed);
  }
  LockFreeQueue(const LockFreeQueue&) = delete;
  LockFreeQueue& operator=(const LockFreeQueue&) = delete;

  bool Push(const T& item) {
    size_t at = tail.load(std::memory_order_relaxed);
    for (;;) {
      Slot& slot = cells[at & (Capacity - 1)];
      const size_t turn = slot.turn.load(std::memory_order_acquire);
      const auto lead = static_cast<intptr_t>(turn) - static_cast<intptr_t>(at);
      if (lead == 0) {
        if (tail.compare_exchange_weak(at, at + 1, std::memory_order_relaxed)) {
          slot.item = item;
          slot.turn.store(at + 1, std::memory_order_release);
          return true;
        }
      } else if (lead < 0) {
        return false;  // the slot still holds an item a lap behind: full
      } else {
        at = tail.load(std::memory_order_relaxed);
      }
    }
  }

  // False when empty, or when the next item's push has not finished yet (its
  // pusher is then about to say so by whatever wake-up it uses).
  bool Pop(T& item) {
    size_t at = head.load(std::memory_order_relaxed);
    for (;;) {
      Slot& slot = cells[at & (Capacity - 1)];
      const size_t turn = slot.turn.load(std::memory_order_acquire);
      const auto lead = static_cast<intptr_t>(turn) - static_cast<intptr_t>(at + 1);
      if (lead == 0) {
        if (head.compare_exchange_weak(at, at + 1, std::memory_order_relaxed)) {
          item = slot.item;
          slot.turn.store(at + Capacity, std::memory_order_release);
          return true;
        }
      } else if (lead < 0) {
        return false;
      } else {
        at = head.load(std::memory_order_relaxed);
      }
    }
  }

  // Only a hint while others push or pop.
  size_t Size() const {
    const size_t t = tail.load(std::memory_order_acquire);
    const size_t h = head.load(std::memory_order_acquire);
    return t >= h ? t - h : 0;
  }

 private:
  struct Slot {
    std::atomic<size_t> turn;
    T item{};
  };
  std::array<Slot, Capacity> cells;
  alignas(64) std::atomic<size_t> tail{0};
  alignas(64) std::atomic<size_t> head{0};
};
