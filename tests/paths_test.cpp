// Where the program looks for its help page and keeps its working file, in a
// folder of its own and installed under a prefix.
#include "base/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "paths_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    savedProgramDir = programDir;
    savedWorkDir = workDir;
    if (const char* old = std::getenv("XDG_DATA_HOME")) savedXdg = old;
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  }

  void TearDown() override {
    programDir = savedProgramDir;
    workDir = savedWorkDir;
    if (savedXdg.empty()) {
      unsetenv("XDG_DATA_HOME");
    } else {
      setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    }
    fs::remove_all(root);
  }

  void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "<html></html>";
  }

  fs::path root;
  std::string savedProgramDir, savedWorkDir, savedXdg;
};

TEST_F(PathsTest, AProgramInItsOwnFolderKeepsEverythingThere) {
  Touch(root / "sonavel/Help.htm");
  // Even with an installed layout around it, the page beside the program wins.
  Touch(root / "share/sonavel/Help.htm");
  SetProgramDir((root / "sonavel/sonavel").string());
  EXPECT_EQ(programDir, (root / "sonavel").string() + "/");
  ChooseWorkDir();
  EXPECT_EQ(workDir, programDir);
  EXPECT_EQ(HelpFilePath(), programDir + "Help.htm");
}

TEST_F(PathsTest, AnInstalledProgramFindsItsPageInShareAndKeepsTheSongInTheDataFolder) {
  Touch(root / "usr/share/sonavel/Help.htm");
  fs::create_directories(root / "usr/bin");
  // Writable, as /usr/bin is to root: still no place for a song.
  SetProgramDir((root / "usr/bin/sonavel").string());
  EXPECT_EQ(HelpFilePath(), (root / "usr/share/sonavel/Help.htm").string());
  ChooseWorkDir();
  EXPECT_EQ(workDir, (root / "data/sonavel").string() + "/");
  EXPECT_TRUE(fs::is_directory(root / "data/sonavel"));
}

TEST_F(PathsTest, AFolderThatCannotBeWrittenSendsTheSongToTheDataFolder) {
  SetProgramDir((root / "gone/sonavel").string());
  EXPECT_EQ(HelpFilePath(), (root / "gone/Help.htm").string());
  ChooseWorkDir();
  EXPECT_EQ(workDir, (root / "data/sonavel").string() + "/");
}

}  // namespace
