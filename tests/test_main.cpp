#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallFakes();
  return RUN_ALL_TESTS();
}
