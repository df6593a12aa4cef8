#include "tools/svltool/session.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/mixer.h"
#include "audio/reverb.h"
#include "base/paths.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "song/undo.h"

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
  workFolder_ = MakeWorkFolder();
  if (workFolder_.empty()) {
    console_.ShowMessage("cannot create a working folder", "Error");
    return;
  }
  SetProgramDir(ExecutablePath());
  workDir = workFolder_;
  // Each command opens the song it names; no working song file is made. Nothing
  // is undone after the command either, so nothing is kept for it: an import over
  // a track would otherwise copy the track's 50 MB aside first.
  undoByteLimit = 0;
  if (!SongStateInit()) return;
  if (!MixerBlocksInit()) {
    console_.ShowMessage("MixerBlocksInit - memory allocation failed", "Error");
    return;
  }
  ready_ = true;
}

CoreSession::~CoreSession() {
  SongFileCloseOnly();
  EffectRelease();
  MixerBlocksRelease();
  SongStateRelease();
  if (!workFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(workFolder_, ec);
  }
}
