#include "tools/svltool/session.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/window_proc.h"
#include "base/paths.h"

namespace {

std::string ExecutablePath() {
  std::vector<char> path(4096);
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  return std::string(path.data(), static_cast<size_t>(n));
}

std::string MakeWorkFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp != nullptr && tmp[0] == '/' ? std::string(tmp) : "/tmp");
  pattern += "/svltool.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern + "/";
}

}  // namespace

CoreSession::CoreSession() {
  InstallPlatform(&console_);
  InstallWaveDevices(&waveOut_, &waveIn_);
  workFolder_ = MakeWorkFolder();
  if (workFolder_.empty()) {
    console_.ShowMessage("cannot create a working folder", "Error");
    return;
  }
  SetProgramDir(ExecutablePath());
  workDir = workFolder_;

  // The window's creation without the window: skin layers, panel, song state and
  // the silent devices. The first paint never comes, so no working song file is
  // made; each command opens the song it names.
  AppStartup();
  WindowProc(WM_CREATE, 0, 0);
  started_ = true;
  ready_ = console_.failures == 0;
}

CoreSession::~CoreSession() {
  if (started_) {
    console_.Pump();
    AppShutdown();
  }
  if (!workFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(workFolder_, ec);
  }
}
