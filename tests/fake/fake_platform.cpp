#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

FakePlatform fakePlatform;
FakeWaveOut fakeWaveOut;
FakeWaveIn fakeWaveIn;

void InstallFakes() {
  InstallPlatform(&fakePlatform);
  InstallWaveDevices(&fakeWaveOut, &fakeWaveIn);
}

void FakePlatform::Invalidate(int, int, int, int) {
  ++invalidations;
}

void FakePlatform::ShowMessage(std::string_view text, std::string_view caption) {
  messages.push_back({std::string(text), std::string(caption)});
}

void FakePlatform::ShowInformation(std::string_view text, std::string_view caption) {
  messages.push_back({std::string(text), std::string(caption), true});
}

bool FakePlatform::Dialog(DialogCall call, std::string& name, DialogCheckBox* checkBox) {
  call.startName = name;
  if (checkBox != nullptr) call.checkBox = *checkBox;
  dialogs.push_back(std::move(call));
  if (dialogAnswers.empty()) return false;
  const DialogAnswer answer = std::move(dialogAnswers.front());
  dialogAnswers.pop_front();
  if (!answer.name) return false;
  name = *answer.name;
  if (checkBox != nullptr && answer.checked) checkBox->checked = *answer.checked;
  return true;
}

bool FakePlatform::AskForm(std::string_view title, std::vector<FormField>& fields) {
  forms.push_back({std::string(title), fields});
  if (formAnswers.empty()) return false;
  std::optional<std::vector<int>> answer = std::move(formAnswers.front());
  formAnswers.pop_front();
  if (!answer) return false;
  for (size_t i = 0; i < answer->size() && i < fields.size(); ++i) fields[i].value = (*answer)[i];
  return true;
}

bool FakePlatform::OpenFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                                  std::string& name) {
  DialogCall call;
  call.filters = filters;
  call.title = title;
  return Dialog(std::move(call), name, nullptr);
}

bool FakePlatform::SaveFileDialog(std::string_view title, const std::vector<FileFilter>& filters,
                                  std::string& name, DialogCheckBox* checkBox) {
  DialogCall call;
  call.save = true;
  call.filters = filters;
  call.title = title;
  return Dialog(std::move(call), name, checkBox);
}

bool FakePlatform::FolderDialog(std::string_view title, std::string& folder,
                                DialogCheckBox* checkBox) {
  DialogCall call;
  call.folder = true;
  call.title = title;
  return Dialog(std::move(call), folder, checkBox);
}

void FakePlatform::Post(const Message& message) {
  queue.Post(message);
}

size_t FakePlatform::Pending() {
  return queue.Pending();
}

int FakePlatform::PumpTo(void (*deliver)(const Message&)) {
  return queue.PumpTo(deliver);
}

void FakePlatform::Reset() {
  messages.clear();
  beeps = flushes = invalidations = aboutShown = 0;
  sleptMs = 0;
  pagesOpened.clear();
  browserStarts = true;
  title.clear();
  menuEntries.clear();
  dialogs.clear();
  dialogAnswers.clear();
  forms.clear();
  formAnswers.clear();
  timerPeriod = 0;
  quitRequested = false;
  exitCode = -1;
  windowCloses = 0;
  queue.Clear();
}

int FakeWaveOut::Open() {
  if (openResult != kWaveOk) return openResult;
  isOpen = true;
  ++opens;
  devices.opened = devices.chosen;
  ++generation;
  return kWaveOk;
}

void FakeWaveOut::Close() {
  // A device reads what it holds until it lets go: a buffer freed before the
  // close is caught here (by the sanitizers) as it would be on a real one.
  TouchQueued();
  isOpen = false;
  queued.clear();
  frontPlayed = 0;
  ++generation;
}

int FakeWaveOut::Write(WaveHeader& header) {
  if (!isOpen) return 2;  // no device
  if (writeResult != kWaveOk) return writeResult;
  header.done = 0;
  header.queued = 1;
  queued.push_back(&header);
  written.emplace_back(header.data, header.data + header.bufferLength);
  return kWaveOk;
}

int FakeWaveOut::CompleteOutput(int n) {
  int handed = 0;
  while (handed < n && !queued.empty()) {
    frontPlayed = 0;
    WaveHeader* h = queued.front();
    queued.erase(queued.begin());
    h->done = 1;
    h->queued = 0;
    platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(h)});
    ++handed;
  }
  return handed;
}

void FakeWaveOut::Play(uint32_t frames) {
  std::vector<uint8_t> played(size_t{frames} * 4, 0);
  size_t at = 0;
  while (at < played.size() && !queued.empty()) {
    const WaveHeader& h = *queued.front();
    const size_t n = std::min<size_t>(h.bufferLength - frontPlayed, played.size() - at);
    std::memcpy(played.data() + at, h.data + frontPlayed, n);
    at += n;
    frontPlayed += static_cast<uint32_t>(n);
    if (frontPlayed == h.bufferLength) CompleteOutput(1);
  }
  if (loopback == nullptr) return;
  const size_t delay = size_t{loopDelayFrames} * 4;
  if (inFlight.size() != delay) inFlight.assign(delay, 0);
  inFlight.insert(inFlight.end(), played.begin(), played.end());
  // What arrives while the queue is dry answers nothing of the song.
  loopback->FeedInput(std::span(inFlight).first(at));
  loopback->Interrupt(static_cast<uint32_t>((played.size() - at) / 4));
  inFlight.erase(inFlight.begin(), inFlight.begin() + static_cast<ptrdiff_t>(played.size()));
}

void FakeWaveOut::TouchQueued() {
  for (const WaveHeader* h : queued) {
    touched += std::count(h->data, h->data + h->bufferLength, uint8_t{0x5A});
  }
}

int FakeWaveOut::Reset() {
  ++resets;
  TouchQueued();
  frontPlayed = 0;
  for (WaveHeader* h : queued) {
    h->done = 1;
    h->queued = 0;
    platform().Post({MM_WOM_DONE, generation, reinterpret_cast<intptr_t>(h)});
  }
  queued.clear();
  ++generation;
  return isOpen ? kWaveOk : 2;
}

int FakeWaveIn::Open() {
  if (openResult != kWaveOk) return openResult;
  isOpen = true;
  started = false;
  ++opens;
  devices.opened = devices.chosen;
  ++generation;
  return kWaveOk;
}

int FakeWaveIn::AddBuffer(WaveHeader& header) {
  if (!isOpen) return 2;
  header.done = 0;
  header.queued = 1;
  header.bytesRecorded = 0;
  queued.push_back(&header);
  return kWaveOk;
}

int FakeWaveIn::Start() {
  if (!isOpen) return 2;
  started = true;
  cursor.Begin(0);
  return kWaveOk;
}

bool FakeWaveIn::Port::Next(WaveHeader*& header) {
  if (device.queued.empty()) return false;
  header = device.queued.front();
  device.queued.erase(device.queued.begin());
  return true;
}

void FakeWaveIn::Port::HandBack(WaveHeader& header) const {
  header.done = 1;
  header.queued = 0;
  platform().Post({MM_WIM_DATA, device.generation, reinterpret_cast<intptr_t>(&header)});
}

size_t FakeWaveIn::FeedInput(std::span<const uint8_t> bytes) {
  if (!started) return 0;
  // An input nothing is connected to hears silence, as a JACK port does.
  const uint8_t* heard = inputsConnected ? bytes.data() : nullptr;
  return size_t{cursor.Store(heard, static_cast<uint32_t>(bytes.size() / 4), Side())} * 4;
}

void FakeWaveIn::LoseInput(uint32_t frames) {
  if (started) cursor.Lose(frames, Side());
}

void FakeWaveIn::Interrupt(uint32_t frames) {
  if (started) cursor.Dropout(frames, Side());
}

void FakeWaveIn::HandBackAll() {
  started = false;
  cursor.HandBackAll(Side());
}

int FakeWaveIn::Reset() {
  HandBackAll();
  ++generation;
  return isOpen ? kWaveOk : 2;
}

int FakeWaveIn::Close() {
  if (!isOpen) return 2;
  // A buffer still queued comes back like a reset's, ahead of the close notice.
  HandBackAll();
  isOpen = false;
  ++closes;
  platform().Post({MM_WIM_CLOSE, generation, 0});
  ++generation;
  return kWaveOk;
}
