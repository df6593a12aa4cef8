// Posted messages that any thread, an audio callback included, can send to the
// core's thread without allocating or waiting on a lock: a lock-free queue and an
// eventfd that the front end's event loop watches. The front end drains the queue
// when the descriptor becomes readable and hands each message on, in order.
#pragma once

#include <cstddef>

#include "platform/lock_free_queue.h"
#include "platform/platform.h"

class NoticeRing {
 public:
  NoticeRing();
  ~NoticeRing();
  NoticeRing(const NoticeRing&) = delete;
  NoticeRing& operator=(const NoticeRing&) = delete;

  // Any thread. Every message hands a device's buffer back or says what the
  // front end did; the core queues a buffer again only after its message came
  // back, so the messages waiting at any moment are a handful, far below the
  // capacity. False only if that ever failed to hold.
  bool Post(const Message& message);
  // The descriptor to watch for reading; -1 when none could be made, and then
  // the owner must call Drain from time to time instead.
  int WakeFd() const { return wakeFd; }
  // The consumer's thread: clears the wake-up, then delivers every message
  // posted so far, one at a time, so a delivery that runs a nested event loop
  // (a message box) may drain the rest itself without upsetting the order.
  int Drain(void (*deliver)(const Message&, void*), void* context);
  size_t Pending() const { return queue.Size(); }

 private:
  static constexpr size_t kCapacity = 4096;
  LockFreeQueue<Message, kCapacity> queue;
  int wakeFd = -1;
};
