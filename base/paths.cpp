#include "base/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

std::string programDir;
std::string workDir;

void SetProgramDir(const std::string& programPath) {
  const size_t slash = programPath.find_last_of('/');
  programDir = slash == std::string::npos ? std::string("./") : programPath.substr(0, slash + 1);
}

namespace {

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

std::string InstalledHelpPath() {
  return std::filesystem::path(programDir + "../share/sonavel/Help.htm").lexically_normal();
}

// An installed program's folder is shared by every program of the system (and
// writable to root): no song belongs there.
bool Installed() {
  return !Exists(programDir + "Help.htm") && Exists(InstalledHelpPath());
}

}  // namespace

std::string HelpFilePath() {
  return Installed() ? InstalledHelpPath() : programDir + "Help.htm";
}

std::string UserFolder(const char* xdgVariable, const char* homeFallback) {
  std::string base;
  if (const char* xdg = std::getenv(xdgVariable); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/" + homeFallback;
  } else {
    base = "/tmp";
  }
  const std::filesystem::path dir = std::filesystem::path(base) / "sonavel";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir.string() + "/";
}

void ChooseWorkDir() {
  if (!programDir.empty() && !Installed() && access(programDir.c_str(), W_OK) == 0) {
    workDir = programDir;
    return;
  }
  workDir = UserFolder("XDG_DATA_HOME", ".local/share");
}
