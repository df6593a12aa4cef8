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

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path, size_t offset = 0,
                                      size_t count = SIZE_MAX) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::vector<uint8_t> bytes;
  char c;
  while (bytes.size() < count && in.get(c)) bytes.push_back(static_cast<uint8_t>(c));
  return bytes;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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
  const uint32_t data = static_cast<uint32_t>(frames * channels * 2);
  std::vector<uint8_t> w(44 + data);
  auto put16 = [&](size_t at, uint16_t v) { StoreU16(w.data() + at, v); };
  auto put32 = [&](size_t at, uint32_t v) { StoreU32(w.data() + at, v); };
  std::memcpy(&w[0], "RIFF", 4);
  put32(4, data + 36);
  std::memcpy(&w[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, static_cast<uint16_t>(channels));
  put32(24, 44100);
  put32(28, static_cast<uint32_t>(44100 * channels * 2));
  put16(32, static_cast<uint16_t>(channels * 2));
  put16(34, 16);
  std::memcpy(&w[36], "data", 4);
  put32(40, data);
  for (size_t i = 44; i + 1 < w.size(); i += 2) put16(i, static_cast<uint16_t>(value));
  return w;
}

inline int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return LoadI16(bytes.data() + offset);
}
