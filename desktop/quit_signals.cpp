#include "desktop/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// One instance at a time owns the pipe; the handler may run on any thread.
std::atomic<int> writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");
int readEnd = -1;

void OnSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe already holds a pending notice: nothing is lost by dropping this.
  [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
  errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onClose) : close(std::move(onClose)) {
  if (writeEnd != -1) return;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readEnd = ends[0];
  writeEnd = ends[1];

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  handlersSet = ::sigaction(SIGTERM, &action, &previousTerm) == 0;
  if (handlersSet && ::sigaction(SIGINT, &action, &previousInt) != 0) {
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    handlersSet = false;
  }
  if (!handlersSet) {
    ::close(ends[0]);
    ::close(ends[1]);
    readEnd = -1;
    writeEnd = -1;
    return;
  }
  notifier = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
  connect(notifier.get(), &QSocketNotifier::activated, this, [this] { Arrived(); });
  installed = true;
}

QuitSignals::~QuitSignals() {
  if (!installed) return;
  notifier.reset();
  RestoreHandlers();
  ::close(readEnd);
  ::close(writeEnd.exchange(-1));
  readEnd = -1;
}

void QuitSignals::RestoreHandlers() {
  if (!handlersSet) return;
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::sigaction(SIGINT, &previousInt, nullptr);
  handlersSet = false;
}

void QuitSignals::Arrived() {
  unsigned char drained[64];
  while (::read(readEnd, drained, sizeof drained) > 0) {
  }
  if (!handlersSet) return;
  // The close may take a while (a header write, a nested dialog ending): a
  // second signal meanwhile means "now", which the default handling does.
  RestoreHandlers();
  close();
}
