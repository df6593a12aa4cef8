// The settings file: values kept between runs, one line each, replaced whole.
#include "base/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "test_support.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(root.empty()); }
  void TearDown() override { std::filesystem::remove_all(root); }
  std::string root = MakeTempFolder("settings");
  ScopedEnv config{"XDG_CONFIG_HOME", root + "config"};
};

TEST_F(SettingsTest, ValuesAreKeptPerKeyAndReplacedInPlace) {
  EXPECT_EQ(SettingsPath(), root + "config/sonavel/sonavel.conf");
  EXPECT_EQ(ReadSetting("latency", "none"), "none");
  EXPECT_EQ(WriteSetting("latency", "1024"), 1);
  EXPECT_EQ(WriteSetting("output", "USB Audio = main"), 1);
  EXPECT_EQ(WriteSetting("latency", "2048"), 1);
  EXPECT_EQ(ReadSetting("latency"), "2048");
  EXPECT_EQ(ReadSetting("output"), "USB Audio = main");
  // A key that is the start of another is still another key.
  EXPECT_EQ(ReadSetting("late", "x"), "x");
  const Bytes text = ReadFile(SettingsPath());
  EXPECT_EQ(std::string(text.begin(), text.end()), "output=USB Audio = main\nlatency=2048\n");
}

TEST_F(SettingsTest, LineBreaksAreRefusedAndAnUnwritableFolderKeepsTheOldFile) {
  ASSERT_EQ(WriteSetting("a", "1"), 1);
  EXPECT_EQ(WriteSetting("a", "2\nb=3"), 0);
  EXPECT_EQ(WriteSetting("a=b", "2"), 0);
  EXPECT_EQ(ReadSetting("b", "none"), "none");

  FileSizeLimit full(4);
  EXPECT_EQ(WriteSetting("a", "a value longer than the disk"), 0);
  EXPECT_EQ(ReadSetting("a"), "1");
  EXPECT_FALSE(std::filesystem::exists(SettingsPath() + ".new"));
}

TEST_F(SettingsTest, AnyNameMakesAKeyOfItsOwnAndKeysCanBeRemoved) {
  EXPECT_EQ(SettingKeyPart("USB = Mic\n50%"), "USB %3D Mic%0A50%25");
  EXPECT_NE(SettingKeyPart("a%3Db"), SettingKeyPart("a=b"));
  ASSERT_EQ(WriteSetting("a", "1"), 1);
  ASSERT_EQ(WriteSetting("trip[" + SettingKeyPart("A=B\r") + "]", "5"), 1);
  EXPECT_EQ(RemoveSetting("trip[A%3DB%0D]"), 1);
  EXPECT_EQ(RemoveSetting("missing"), 1);
  const Bytes text = ReadFile(SettingsPath());
  EXPECT_EQ(std::string(text.begin(), text.end()), "a=1\n");
}

}  // namespace
