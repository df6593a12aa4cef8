#include "platform/platform.h"

#include <cassert>

namespace {
Platform* installed = nullptr;
}

Platform& platform() {
  assert(installed != nullptr);
  return *installed;
}

void InstallPlatform(Platform* p) {
  installed = p;
}
