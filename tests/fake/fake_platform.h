// The platform and wave devices for tests: everything recorded, nothing real.
// Message boxes and beeps are kept, dialogs answer from a script, the clock is
// set by hand, and buffers come back only when the test says so.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/capture_cursor.h"
#include "platform/message_queue.h"
#include "platform/platform.h"
#include "platform/wave.h"

struct ShownMessage {
  std::string text;
  std::string caption;
  bool information = false;  // the information icon rather than the warning
  bool operator==(const ShownMessage&) const = default;
};
// What a failed comparison of messages shows.
inline void PrintTo(const ShownMessage& m, std::ostream* out) {
  *out << "{\"" << m.text << "\", \"" << m.caption << "\"" << (m.information ? ", info}" : "}");
}

struct FormCall {
  std::string title;
  std::vector<FormField> fields;  // as the form was opened
};

struct DialogCall {
  bool save = false;
  bool folder = false;
  std::vector<FileFilter> filters;
  std::string startName;
  std::string title;
  // The check box as the dialog was given it; absent when it showed none.
  std::optional<DialogCheckBox> checkBox;
};

class FakePlatform : public Platform {
 public:
  void Invalidate(int x, int y, int width, int height) override;
  void Flush() override { ++flushes; }
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void Beep() override { ++beeps; }
  bool OpenFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                      std::string& name) override;
  bool SaveFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                      std::string& name, DialogCheckBox* checkBox) override;
  bool FolderDialog(std::string_view title, std::string& folder, DialogCheckBox* checkBox) override;
  bool AskForm(std::string_view title, std::vector<FormField>& fields) override;
  void ShowAbout() override { ++aboutShown; }
  void SetTitle(std::string_view text) override { title = text; }
  void SetMenuEntry(uintptr_t command, std::string_view text, bool enabled) override {
    menuEntries[command] = {std::string(text), enabled};
  }
  // Recorded as path, then '#' and the fragment when there is one.
  bool OpenLocalPage(std::string_view path, std::string_view fragment) override {
    pagesOpened.push_back(std::string(path) +
                          (fragment.empty() ? "" : "#" + std::string(fragment)));
    return browserStarts;
  }
  uint32_t ClockMs() override { return clock; }
  void SleepMs(uint32_t ms) override {
    sleptMs += ms;
    clock += ms;
  }
  void Post(const Message& message) override;
  void StartTimer(uint32_t periodMs) override { timerPeriod = periodMs; }
  void StopTimer() override { timerPeriod = 0; }
  void Quit(int code) override {
    quitRequested = true;
    exitCode = code;
  }
  void CloseWindow() override { ++windowCloses; }

  // Delivers queued messages to WindowProc (in order, including those posted
  // while pumping) until the queue is empty; returns how many.
  int Pump();
  // The same, to another receiver (tests of one module).
  int PumpTo(void (*deliver)(const Message&));
  size_t Pending();

  // Answers for the next dialogs, in order; nullopt cancels. checked: what the
  // user leaves the dialog's check box at (untouched when absent).
  void ScriptDialog(std::optional<std::string> answer, std::optional<bool> checked = {}) {
    dialogAnswers.push_back({std::move(answer), checked});
  }
  // Answers for the next forms, in order: the values to set from the first
  // field on (fewer keep the rest as they are); nullopt cancels. A form with no
  // answer left is cancelled.
  void ScriptForm(std::optional<std::vector<int>> values) {
    formAnswers.push_back(std::move(values));
  }
  void Advance(uint32_t ms) { clock += ms; }
  void Reset();  // forget everything recorded

  std::vector<ShownMessage> messages;
  int beeps = 0;
  int flushes = 0;
  int invalidations = 0;
  int aboutShown = 0;
  uint32_t sleptMs = 0;
  std::vector<std::string> pagesOpened;
  bool browserStarts = true;  // what OpenLocalPage answers
  std::string title;
  struct MenuEntryState {
    std::string text;
    bool enabled = true;
  };
  std::map<uintptr_t, MenuEntryState> menuEntries;
  std::vector<DialogCall> dialogs;
  struct DialogAnswer {
    std::optional<std::string> name;
    std::optional<bool> checked;
  };
  std::deque<DialogAnswer> dialogAnswers;
  std::vector<FormCall> forms;
  std::deque<std::optional<std::vector<int>>> formAnswers;
  uint32_t clock = 0;
  uint32_t timerPeriod = 0;
  bool quitRequested = false;
  int exitCode = -1;
  int windowCloses = 0;

 private:
  bool Dialog(DialogCall call, std::string& name, DialogCheckBox* checkBox);
  MessageQueue queue;
};

// The device list a fake offers, and what the core chose from it.
struct FakeDeviceList {
  bool offered = true;  // false: the device takes no choice, as JACK's
  std::vector<std::string> names;
  std::string chosen;
  std::string opened;  // what was chosen at the latest Open

  bool Names(std::vector<std::string>& out) const {
    out = names;
    return offered;
  }
};

class FakeWaveIn;

class FakeWaveOut : public WaveOutDevice {
 public:
  int Open() override;
  void Close() override;
  int Write(WaveHeader& header) override;
  int Reset() override;
  uint32_t Generation() const override { return generation; }
  bool DeviceNames(std::vector<std::string>& names) override { return devices.Names(names); }
  void ChooseDevice(const std::string& name) override { devices.chosen = name; }

  // The front n queued buffers finish playing and come back.
  int CompleteOutput(int n);
  // Plays `frames` frames as a card would: the queued buffers in order,
  // silence where none is queued, each buffer handed back once played to its
  // end. With a loopback input, everything played reaches it `loopDelayFrames`
  // frames later, as through a cable from the output to the input; while the
  // queue is dry the song stalls, and so does the input's place.
  void Play(uint32_t frames);
  FakeWaveIn* loopback = nullptr;
  uint32_t loopDelayFrames = 0;
  // What reading the queued buffers at a reset or close found (nothing the
  // tests look at: the reading is what counts).
  int64_t touched = 0;
  std::vector<WaveHeader*> queued;
  // Every buffer written, in order, as the bytes it held then (what was played).
  std::vector<std::vector<uint8_t>> written;
  bool isOpen = false;
  int openResult = kWaveOk;
  int writeResult = kWaveOk;
  int resets = 0;
  int opens = 0;
  uint32_t generation = 1;
  FakeDeviceList devices;

 private:
  void TouchQueued();
  uint32_t frontPlayed = 0;       // bytes of the front buffer already played
  std::vector<uint8_t> inFlight;  // played, not yet arrived at the loopback
};

class FakeWaveIn : public WaveInDevice {
 public:
  int Open() override;
  int AddBuffer(WaveHeader& header) override;
  int Start() override;
  int Reset() override;
  int Close() override;
  uint32_t Generation() const override { return generation; }
  bool DeviceNames(std::vector<std::string>& names) override { return devices.Names(names); }
  void ChooseDevice(const std::string& name) override { devices.chosen = name; }
  uint32_t RoundTripFrames() const override { return roundTripFrames; }
  std::string PathKey() const override { return pathKey; }
  bool InputsConnected() const override { return inputsConnected; }

  // Captures bytes into the queued buffers at the place they belong, handing
  // back each one that fills; returns how many bytes found a buffer (the rest
  // is lost, as on a real card, and leaves its place empty).
  size_t FeedInput(std::span<const uint8_t> bytes);
  // The device loses `frames` frames of input (a stalled interface, a server
  // that dropped them): their place stays empty.
  void LoseInput(uint32_t frames);
  // An interruption the performer heard (an xrun, a dry output queue) while
  // the place stood still.
  void Interrupt(uint32_t frames);
  std::vector<WaveHeader*> queued;
  bool isOpen = false;
  bool started = false;
  int openResult = kWaveOk;
  int opens = 0;
  int closes = 0;
  uint32_t generation = 1;
  FakeDeviceList devices;
  uint32_t roundTripFrames = 0;  // what the device reports
  std::string pathKey = "fake";  // the sound path it stands for
  bool inputsConnected = true;  // false: what arrives is silence

 private:
  struct Port {
    FakeWaveIn& device;
    bool Next(WaveHeader*& header);
    void HandBack(WaveHeader& header) const;
  };
  Port Side() { return {*this}; }
  // Whatever the device gives back first: the buffer being filled.
  void HandBackAll();
  CaptureCursor cursor;
};

// The fakes every core test uses, installed by the test main.
extern FakePlatform fakePlatform;
extern FakeWaveOut fakeWaveOut;
extern FakeWaveIn fakeWaveIn;
void InstallFakes();
