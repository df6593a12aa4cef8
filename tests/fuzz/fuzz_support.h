// What every fuzz target shares: the program started once per process on the fake
// platform, with its working song in a folder of its own (in memory where the
// system offers one), and the input handed over as a file where a loader wants one.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "app/window_proc.h"
#include "base/paths.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "tests/fake/fake_platform.h"

namespace fuzz {

inline std::string& Folder() {
  static std::string folder;
  return folder;
}

inline void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(Folder(), ec);
}

// Starts the program as the desktop does (window creation, first paint), so the
// panel, the work buffer and the working song exist before the first input.
// Writes past maxFileBytes fail as on a full disk: a loader then cannot spend
// its time writing a whole silent track for every input.
inline void StartProgram(rlim_t maxFileBytes = 4'000'000) {
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                         ? "/dev/shm"
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "sonavel-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  Folder() = pattern + "/";
  std::atexit(RemoveFolder);

  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = maxFileBytes;
  setrlimit(RLIMIT_FSIZE, &limit);

  InstallFakes();
  programDir = workDir = Folder();
  AppStartup();
  WindowProc(WM_CREATE, 0, 0);
  WindowProc(WM_PAINT, 0, 0);
  fakePlatform.Pump();
  if (!song.workBuffer || !SongFileIsOpen()) std::abort();
}

// The working song emptied again: its header area only.
inline void ResetWorkingSong() {
  // libFuzzer takes SIGXFSZ for its own after start-up; here it must only make
  // the write fail.
  std::signal(SIGXFSZ, SIG_IGN);
  if (::truncate(WorkingFilePath().c_str(), SongHeaderBytes) != 0) std::abort();
  fakePlatform.Reset();
}

inline std::string WriteInput(const char* name, const uint8_t* data, size_t size) {
  const std::string path = Folder() + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::abort();
  return path;
}

}  // namespace fuzz
