#include "platform/console/console_platform.h"

#include <time.h>

#include <cstdio>

#include "app/window_proc.h"

namespace {

// A path may hold a line break; the report stays one line.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

void ConsolePlatform::ShowMessage(std::string_view text, std::string_view caption) {
  ++failures;
  std::string line = program_ + ": ";
  if (!caption.empty()) line += OneLine(caption) + ": ";
  line += OneLine(text);
  std::fprintf(stderr, "%s\n", line.c_str());
}

bool ConsolePlatform::Dialog(std::string& name) {
  if (!dialogAnswer_) return false;
  name = std::move(*dialogAnswer_);
  dialogAnswer_.reset();
  return true;
}

bool ConsolePlatform::OpenFileDialog(const std::vector<FileFilter>&, std::string& name) {
  return Dialog(name);
}

bool ConsolePlatform::SaveFileDialog(const std::vector<FileFilter>&, std::string& name) {
  return Dialog(name);
}

uint32_t ConsolePlatform::ClockMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1'000'000u);
}

void ConsolePlatform::SleepMs(uint32_t ms) {
  if (!realSleep) return;
  timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

void ConsolePlatform::Post(const Message& message) {
  messages_.Post(message);
}

int ConsolePlatform::Pump() {
  return messages_.PumpTo([](const Message& m) { WindowProc(m); });
}

int ConsolePlatform::PumpTo(void (*deliver)(const Message&)) {
  return messages_.PumpTo(deliver);
}

int NullWaveOut::Open() {
  ++generation_;
  return kWaveOk;
}

int NullWaveOut::Write(WaveHeader& header) {
  header.done = 1;
  header.queued = 0;
  platform().Post({MM_WOM_DONE, generation_, reinterpret_cast<intptr_t>(&header)});
  return kWaveOk;
}

int NullWaveOut::Reset() {
  // Every buffer went back as it was written: none is held.
  ++generation_;
  return kWaveOk;
}

int NullWaveIn::Open() {
  ++generation_;
  queued_.clear();
  return kWaveOk;
}

int NullWaveIn::AddBuffer(WaveHeader& header) {
  header.done = 0;
  header.queued = 1;
  header.bytesRecorded = 0;
  queued_.push_back(&header);
  return kWaveOk;
}

int NullWaveIn::Reset() {
  // Nothing is ever captured: the buffers come back empty.
  for (WaveHeader* h : queued_) {
    h->done = 1;
    h->queued = 0;
    platform().Post({MM_WIM_DATA, generation_, reinterpret_cast<intptr_t>(h)});
  }
  queued_.clear();
  ++generation_;
  return kWaveOk;
}

int NullWaveIn::Close() {
  platform().Post({MM_WIM_CLOSE, generation_, 0});
  ++generation_;
  return kWaveOk;
}
