// Runs the real svltool binary and reads what it left behind.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "test_support.h"

extern char** environ;

struct ToolResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs program with args in folder (the current one when empty), standard output
// and error captured through files in capture.
inline ToolResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& capture, const std::string& folder = {}) {
  const std::string outPath = (capture / "stdout").string();
  const std::string errPath = (capture / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  ToolResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

// 44,100 Hz 16-bit PCM with the canonical 44-byte header; every sample holds
// `value`.
inline std::vector<uint8_t> ConstantWav(int frames, int16_t value, int channels = 2) {
  Bytes pcm(static_cast<size_t>(frames * channels * 2));
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) StoreI16(pcm.data() + i, value);
  return WavFile(channels, 44100, 16, pcm);
}

inline int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return LoadI16(bytes.data() + offset);
}
