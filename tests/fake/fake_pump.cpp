// Kept apart so that tests of a single module link without the whole program.
#include "app/window_proc.h"
#include "tests/fake/fake_platform.h"

int FakePlatform::Pump() {
  return PumpTo([](const Message& m) { WindowProc(m); });
}
