// The platform for command-line front ends: no window and no sound card. Messages
// go to standard error, one line each, and are counted so the tool can end with a
// failure status; dialogs answer with a name the tool chose beforehand.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "platform/message_queue.h"
#include "platform/platform.h"
#include "platform/wave.h"

class ConsolePlatform : public Platform {
 public:
  // program: the prefix of every line written ("svltool: Error: ...").
  explicit ConsolePlatform(std::string program) : program_(std::move(program)) {}

  void Invalidate(int, int, int, int) override {}
  void Flush() override {}
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void Beep() override {}
  bool OpenFileDialog(const std::vector<FileFilter>& filters, std::string& name) override;
  bool SaveFileDialog(const std::vector<FileFilter>& filters, std::string& name) override;
  void ShowAbout() override {}
  void OpenWebPage(std::string_view) override {}
  uint32_t ClockMs() override;
  // A pause that only lets a person see a lit button is no use here: it sleeps
  // only when realSleep is set.
  void SleepMs(uint32_t ms) override;
  void Post(const Message& message) override;
  void StartTimer(uint32_t) override {}
  void StopTimer() override {}
  // There is no message loop to end: the tool returns when its command is done.
  void Quit(int) override {}

  // The next dialog, open or save, answers with this name; without one it is
  // cancelled. An answer is used once.
  void AnswerNextDialog(std::string name) { dialogAnswer_ = std::move(name); }
  // Delivers the posted messages to WindowProc in order, including those posted
  // meanwhile; returns how many.
  int Pump();
  // The same, to another receiver.
  int PumpTo(void (*deliver)(const Message&));

  int failures = 0;  // messages shown: every one reports a failure
  bool realSleep = false;

 private:
  bool Dialog(std::string& name);

  std::string program_;
  std::optional<std::string> dialogAnswer_;
  MessageQueue messages_;
};

// Silent devices for a program that never plays or records: they open, and hand
// every buffer straight back as a device would after playing or filling it.
class NullWaveOut : public WaveOutDevice {
 public:
  int Open() override;
  void Close() override { ++generation_; }
  int Write(WaveHeader& header) override;
  int Reset() override;
  uint32_t Generation() const override { return generation_; }

 private:
  uint32_t generation_ = 1;
};

class NullWaveIn : public WaveInDevice {
 public:
  int Open() override;
  int AddBuffer(WaveHeader& header) override;
  int Start() override { return kWaveOk; }
  int Reset() override;
  int Close() override;
  uint32_t Generation() const override { return generation_; }

 private:
  std::deque<WaveHeader*> queued_;
  uint32_t generation_ = 1;
};
