#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "test_support.h"
#include "tests/fake/fake_platform.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallFakes();
  // The user's cache and settings of this test run only, never the real ones.
  const std::string home = MakeTempFolder("home");
  setenv("XDG_CACHE_HOME", (home + "cache").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "config").c_str(), 1);
  const int result = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return result;
}
