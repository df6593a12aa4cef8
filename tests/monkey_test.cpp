// A monkey on the panel: random presses, drags, releases, keys, characters and
// timer ticks, with the transport's devices returning buffers and capturing input
// and the commands' dialogs answered now and then. After every event the panel's
// promises hold. The run is reproducible from its seed, which is printed;
// SONAVEL_MONKEY_SEED replays one, SONAVEL_MONKEY_EVENTS sets the length.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "codecs/import.h"
#include "codecs/wav.h"
#include "panel/panel.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "ui/control_manager.h"
#include "ui/geometry.h"

namespace {

constexpr int kDefaultEvents = 200'000;
constexpr uint64_t kDefaultSeed = 20'261'207;

using namespace geometry;

struct Area {
  Rect r;
  int weight;
};

// All the strips' rows between two columns.
constexpr Rect StripColumn(int left, int right) {
  return {left, StripY(1), right, StripY(kTracks + 1)};
}

// Where presses go when they aim: every kind of control, the busy ones more often;
// the rest of the presses land anywhere, a little outside the panel included.
const std::vector<Area> kAreas = {
    {{kMarkerBar.left, MarkerHandle(0).top, kMarkerBar.right, kMarkerBar.bottom}, 12},
    {kPositionBar, 10},
    {StripColumn(Speaker(1).left, Speaker(1).right), 10},
    {StripColumn(Arm(1).left, Arm(1).right), 10},
    {StripColumn(Effect(1).left, Effect(1).right), 6},
    {StripColumn(Volume(1).left, Volume(1).right), 12},
    // The names, with a margin around them.
    {StripColumn(NameField(1).left - 5, NameField(1).right + 4), 8},
    {{kStop.left, kPlay.top, kPause.right, kPlay.bottom}, 3},  // transport
    {{kNew.left, kNew.top, kHelp.right, kHelp.bottom}, 1},
    {{kImport.left, kImport.top, kExport.right, kExport.bottom}, 1},
    {kBanner, 1},
};

class MonkeyTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
    ASSERT_EQ(SongFileIsOpen(), 1);
    const std::string dir = folder.string() + "/";
    stereo = MakeWav(dir + "take.wav", 2, BytesPerSecond / 2);
    loop = MakeWav(dir + "Loop beat.wav", 2, BytesPerSecond / 4);
    mono = MakeWav(dir + "mono.wav", 1, 8000);
    gone = dir + "gone.wav";
    for (int k = 0; k < 3; ++k) songs.push_back(dir + "song" + std::to_string(k) + ".svl");
    controls = controlManager.controlCount;
    fakePlatform.Reset();
  }

  static std::string MakeWav(const std::string& path, int channels, uint32_t bytes) {
    std::vector<uint8_t> file(kWavHeaderBytes + bytes);
    BuildWavHeader(file.data(), bytes);
    file[22] = static_cast<uint8_t>(channels);
    StoreU32(file.data() + 28, static_cast<uint32_t>(44100 * 2 * channels));
    file[32] = static_cast<uint8_t>(2 * channels);
    for (uint32_t i = 0; i < bytes; ++i) file[kWavHeaderBytes + i] = static_cast<uint8_t>(i * 13);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    return path;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  bool Chance(int percent) { return Pick(100) < percent; }

  void AimedPoint(int& x, int& y) {
    int total = 0;
    for (const Area& a : kAreas) total += a.weight;
    int r = Pick(total);
    for (const Area& a : kAreas) {
      if (r < a.weight) {
        x = a.r.left + Pick(a.r.Width());
        y = a.r.top + Pick(a.r.Height());
        return;
      }
      r -= a.weight;
    }
  }

  // A command button under (x, y) shows its dialog: most are cancelled, a few get
  // a name in the test's folder. Exports never get one that renders: a render of
  // the whole song would cost more than the rest of the run.
  void ScriptDialogFor(int x, int y) {
    fakePlatform.dialogAnswers.clear();
    std::optional<std::string> answer;
    if (Contains(kOpen, x, y) && Chance(20)) {
      answer = songs[Pick(static_cast<int>(songs.size()))];
      songOpened = true;
    } else if (Contains(kSave, x, y) && Chance(20)) {
      answer = songs[Pick(static_cast<int>(songs.size()))];
      songOpened = true;
    } else if (Contains(kImport, x, y) && Chance(10)) {
      const std::string files[] = {stereo, loop, mono, gone};
      answer = files[Pick(4)];
    } else if (Contains(kExport, x, y) && Chance(10)) {
      answer = folder.string() + "/mix.txt";
    }
    if (answer) {
      fakePlatform.ScriptDialog(answer);
      ++answered;
    }
  }

  void Event() {
    const int kind = Pick(100);
    int x = 0;
    int y = 0;
    if (kind < 15) {
      if (Chance(60)) {
        AimedPoint(x, y);
      } else {
        x = Pick(540) - 13;
        y = Pick(400) - 14;
      }
      ScriptDialogFor(x, y);
      WindowProc(WM_LBUTTONDOWN, 0, MakePointParam(x, y));
    } else if (kind < 45) {
      WindowProc(WM_MOUSEMOVE, 0, MakePointParam(Pick(560) - 23, Pick(400) - 14));
    } else if (kind < 58) {
      WindowProc(WM_LBUTTONUP, 0, MakePointParam(Pick(kPanel.Width()), Pick(kPanel.Height())));
    } else if (kind < 66) {
      static const int keys[] = {0x25, 0x26, 0x27, 0x28, 0x2E, 0x21, 0x22, 0x23,
                                 0x24, 0x70, 0x09, 0x0D, 0x08, 'I',  'O'};
      const int key = Chance(70) ? keys[Pick(std::size(keys))] : Pick(256);
      WindowProc(Chance(80) ? WM_KEYDOWN : WM_SYSKEYDOWN, static_cast<uintptr_t>(key), 0);
    } else if (kind < 76) {
      static const int chars[] = {'i', 'o', 'I', 'O', 8, 9, 13, ' ', 'a', 'Z', 127, 0};
      const int c = Chance(60) ? chars[Pick(std::size(chars))] : Pick(256);
      WindowProc(WM_CHAR, static_cast<uintptr_t>(c), 0);
    } else if (kind < 88) {
      // Now and then the message loop stalls, and a tick comes late.
      fakePlatform.Advance(static_cast<uint32_t>(Chance(2) ? 1000 + Pick(3000) : Pick(250)));
      WindowProc(WM_TIMER, 1, 0);
    } else if (kind < 94) {
      fakeWaveOut.CompleteOutput(1 + Pick(2));
    } else if (kind < 99) {
      std::vector<uint8_t> input(static_cast<size_t>(Pick(20000)));
      for (auto& b : input) b = static_cast<uint8_t>(rng());
      fakeWaveIn.FeedInput(input);
    } else {
      WindowProc(WM_PAINT, 0, 0);
    }
    fakePlatform.Pump();
  }

  void CheckInvariants(int event) {
    SCOPED_TRACE("event " + std::to_string(event) + " of seed " + std::to_string(seed));
    ASSERT_GE(song.markerInPx, 0);
    ASSERT_LE(song.markerInPx, song.markerOutPx);
    ASSERT_LE(song.markerOutPx, kMarkerMaxPx);
    ASSERT_GE(song.markerInMs, 0);
    ASSERT_LE(song.markerInMs, song.markerOutMs);
    ASSERT_LE(song.markerOutMs, SongSeconds * 1000);

    ASSERT_GE(song.armedTrack, 0);
    ASSERT_LE(song.armedTrack, TrackCount);
    int lit = 0;
    for (int t = 1; t <= TrackCount; ++t) {
      lit += controlManager.value[armButton[t]] != 0;
      ASSERT_GE(tracks[t].volume, 0) << "track " << t;
      ASSERT_LE(tracks[t].volume, 90) << "track " << t;
    }
    ASSERT_EQ(lit, song.armedTrack != 0 ? 1 : 0);
    if (song.running != 0 && !wasRunning) ++(song.armedTrack != 0 ? takes : runs);
    wasRunning = song.running != 0;
    if (song.armedTrack != armedBefore) {
      armedBefore = song.armedTrack;
      songOpened = false;
    }
    if (song.armedTrack != 0) {
      ASSERT_EQ(controlManager.value[armButton[song.armedTrack]], 1);
      if (!songOpened) {
        ASSERT_EQ(tracks[song.armedTrack].playOn, 0);
      }
    }

    // Nothing the panel does leaves the window without a song.
    ASSERT_EQ(SongFileIsOpen(), 1);
    ASSERT_GE(song.positionMs, 0);
    ASSERT_LE(song.positionMs, SongSeconds * 1000);
    ASSERT_GE(song.positionSeconds, 0);
    ASSERT_LE(song.positionSeconds, SongSeconds);
    ASSERT_EQ(controlManager.controlCount, controls);

    for (const ShownMessage& m : fakePlatform.messages) {
      ASSERT_TRUE(Expected(m)) << m.text << " / " << m.caption;
    }
    fakePlatform.messages.clear();
    fakePlatform.pagesOpened.clear();
    fakePlatform.dialogs.clear();
    fakeWaveOut.written.clear();  // the fake's copy of what was played
  }

  // What the scripted answers may rightly bring: a song not saved yet cannot be
  // opened (and the open one stays open), a missing file is refused (a mono one
  // is converted), and a take the fake card fed too little has its dropouts told.
  bool Expected(const ShownMessage& m) const {
    // The fake card sings at random, far less than a take's clock asks for.
    const bool dropouts = m.caption == "Recording" && m.text.starts_with("The take on Track ");
    return dropouts || (m.text.starts_with("SongFileOpen - failed\n") && m.caption == "Error") ||
           (m.text.starts_with("ImportFileTo: the file is missing or cannot be read: " + gone +
                               "\n") &&
            m.caption == "Error");
  }

  std::mt19937_64 rng;
  uint64_t seed = 0;
  int controls = 0;
  int armedBefore = 0;
  bool songOpened = false;
  bool wasRunning = false;
  int runs = 0, takes = 0, answered = 0;
  std::string stereo, loop, mono, gone;
  std::vector<std::string> songs;
};

TEST_F(MonkeyTest, ThePanelKeepsItsPromisesWhateverIsPressed) {
  seed = FromEnvironment("SONAVEL_MONKEY_SEED", kDefaultSeed);
  const int events = static_cast<int>(FromEnvironment("SONAVEL_MONKEY_EVENTS", kDefaultEvents));
  std::printf("monkey: %d events, seed %llu (SONAVEL_MONKEY_SEED replays it)\n", events,
              static_cast<unsigned long long>(seed));
  rng.seed(seed);
  for (int event = 0; event < events; ++event) {
    Event();
    CheckInvariants(event);
    if (HasFatalFailure()) return;
  }
  std::printf("monkey: %d runs played, %d takes recorded, %d dialogs answered\n", runs, takes,
              answered);
}

}  // namespace
