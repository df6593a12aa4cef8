#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fake/fake_platform.h"
#include "test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallFakes();
  // No test may read the settings of whoever runs it (a measured round trip
  // would shift every take) or write into them.
  const std::string config = MakeTempFolder("config");
  const ScopedEnv settings("XDG_CONFIG_HOME", config);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(config);
  return result;
}
