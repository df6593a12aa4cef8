// A long session on the fake devices: a thousand plays, stops and pauses and a
// hundred takes must leave the program's memory where it was. LeakSanitizer
// checks the sanitizer build; the normal build compares resident memory.
// SONAVEL_SOAK_RUNS sets the plays (a tenth of them are takes): the sanitizer pass
// finds a leak in fewer, at a fraction of its cost.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "panel/panel.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "ui/control_manager.h"

#if defined(__SANITIZE_ADDRESS__)
#define SONAVEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SONAVEL_ASAN 1
#endif
#endif

namespace {

int64_t ResidentBytes() {
  long total = 0;
  long resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  const int got = std::fscanf(f, "%ld %ld", &total, &resident);
  std::fclose(f);
  return got == 2 ? int64_t{resident} * ::sysconf(_SC_PAGESIZE) : -1;
}

class SoakTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
    ASSERT_EQ(SongFileIsOpen(), 1);
    // As long as the run it is sung into (Stream's clock), so no take falls short.
    take.resize(size_t{BytesPerSecond} * 6 / 5);
    for (size_t i = 0; i < take.size(); ++i) take[i] = static_cast<uint8_t>(i * 7 + 1);
  }

  // A second or so of playing: the device plays both buffers back, the engine
  // mixes the next ones, and the clock moves on.
  void Stream() {
    for (int k = 0; k < 3; ++k) {
      fakeWaveOut.CompleteOutput(1);
      fakePlatform.Advance(400);
      WindowProc(WM_TIMER, 1, 0);
      fakePlatform.Pump();
    }
    // The fake keeps a copy of everything played; that is the test's memory.
    fakeWaveOut.written.clear();
  }

  void PlayCycle(int i) {
    Click(Middle(geometry::kPlay));
    ASSERT_EQ(song.running, 1) << "cycle " << i;
    Stream();
    // Stop, pause (then play on from there and play again to stop), or Play again.
    switch (i % 3) {
      case 0:
        Click(Middle(geometry::kStop));
        break;
      case 1:
        Click(Middle(geometry::kPause));
        Click(Middle(geometry::kPlay));
        Stream();
        Click(Middle(geometry::kPlay));
        break;
      default:
        Click(Middle(geometry::kPlay));
        break;
    }
    ASSERT_EQ(song.running, 0) << "cycle " << i;
  }

  void Recording(int i) {
    const int t = 1 + i % TrackCount;
    Click(Middle(geometry::Arm(t)));
    ASSERT_EQ(song.armedTrack, t);
    Click(Middle(geometry::kPlay));
    ASSERT_EQ(song.running, 1) << "take " << i;
    fakeWaveIn.FeedInput(take);
    fakePlatform.Pump();
    Stream();
    Click(Middle(geometry::kStop));
    Click(Middle(geometry::Arm(t)));
    ASSERT_EQ(song.armedTrack, 0);
  }

  std::vector<uint8_t> take;
};

TEST_F(SoakTest, AThousandRunsAndAHundredTakesLeaveMemoryFlat) {
  // Everything the program keeps for its life is in use once each part has run:
  // every track recorded and then heard fills its part of the mixer's ring.
  for (int i = 0; i < TrackCount; ++i) Recording(i);
  for (int i = 0; i < 3; ++i) PlayCycle(i);
  const int64_t before = ResidentBytes();

  const int runs = static_cast<int>(FromEnvironment("SONAVEL_SOAK_RUNS", 1000));
  for (int i = 0; i < runs && !HasFatalFailure(); ++i) PlayCycle(i);
  for (int i = 0; i < runs / 10 && !HasFatalFailure(); ++i) Recording(i);
  EXPECT_TRUE(fakePlatform.messages.empty());

  const int64_t after = ResidentBytes();
  std::printf("soak: resident memory %lld KiB before, %lld KiB after\n",
              static_cast<long long>(before / 1024), static_cast<long long>(after / 1024));
#ifndef SONAVEL_ASAN
  // The work buffer alone is 49 MB; a leak of one capture or mix buffer per run
  // would grow this by tens of megabytes.
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, 4 << 20);
#endif
}

}  // namespace
