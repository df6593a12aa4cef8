#include "desktop/window_slot.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// More windows than this start on the last place.
constexpr int kPlaces = 16;

std::string SlotFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
    return std::string(runtime) + "/";
  }
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/";
}

}  // namespace

WindowSlot::WindowSlot() {
  // The user's own id in the name: in a shared temporary folder another user's
  // windows neither take our places nor own our lock files.
  const std::string prefix = SlotFolder() + "sonavel-" + std::to_string(::getuid()) + "-window-";
  for (int i = 0; i < kPlaces; ++i) {
    FileHandle file = FileHandle::Open(prefix + std::to_string(i), O_RDWR | O_CREAT, 0600);
    if (!file.IsOpen()) return;
    const FileHandle::Lock got = file.TryLock();
    // Without locks on that folder no place can be told apart: the first for all.
    if (got == FileHandle::Lock::Unsupported) return;
    if (got == FileHandle::Lock::Held) {
      lock = std::move(file);
      index = i;
      return;
    }
  }
  index = kPlaces - 1;
}
