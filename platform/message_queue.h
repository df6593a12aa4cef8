// The posted messages of a front end without an event loop of its own (tests,
// the command-line tool): any thread posts, the core's thread pumps them in order.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "platform/platform.h"

class MessageQueue {
 public:
  void Post(const Message& message);
  // Delivers messages in order, including those posted while pumping, until the
  // queue is empty; returns how many.
  int PumpTo(void (*deliver)(const Message&));
  size_t Pending();
  void Clear();

 private:
  std::mutex lock_;
  std::deque<Message> queue_;
};
