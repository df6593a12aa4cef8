#include "platform/notice_ring.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

NoticeRing::NoticeRing() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

NoticeRing::~NoticeRing() {
  if (wakeFd >= 0) ::close(wakeFd);
}

bool NoticeRing::Post(const Message& message) {
  if (!queue.Push(message)) return false;
  if (wakeFd >= 0) {
    const uint64_t one = 1;
    // A counter already at its limit is still readable: the wake-up stands.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
  }
  return true;
}

int NoticeRing::Drain(void (*deliver)(const Message&, void*), void* context) {
  if (wakeFd >= 0) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd, &count, sizeof count);
  }
  int delivered = 0;
  Message message;
  while (queue.Pop(message)) {
    deliver(message, context);
    ++delivered;
  }
  return delivered;
}
