#include "platform/message_queue.h"

void MessageQueue::Post(const Message& message) {
  const std::lock_guard<std::mutex> hold(lock_);
  queue_.push_back(message);
}

int MessageQueue::PumpTo(void (*deliver)(const Message&)) {
  int delivered = 0;
  for (;;) {
    Message m;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      if (queue_.empty()) break;
      m = queue_.front();
      queue_.pop_front();
    }
    deliver(m);
    ++delivered;
  }
  return delivered;
}

size_t MessageQueue::Pending() {
  const std::lock_guard<std::mutex> hold(lock_);
  return queue_.size();
}

void MessageQueue::Clear() {
  const std::lock_guard<std::mutex> hold(lock_);
  queue_.clear();
}
