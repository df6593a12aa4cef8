// Nothing may be allocated while the transport streams: every heap allocation of
// the process is counted, and a playback run and a recording run, each with
// many refills, must add none between their start and their stop. A program of
// its own, so the replaced allocator cannot disturb the other tests.
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <span>
#include <vector>

#include "audio/mixer.h"
#include "audio/playback.h"
#include "audio/recording.h"
#include "audio/reverb.h"
#include "audio/stream.h"
#include "base/buffer.h"
#include "base/paths.h"
#include "song/song_file.h"
#include "song/song_state.h"
#include "test_support.h"
#include "tests/fake/fake_platform.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* __libc_memalign(size_t, size_t);
extern "C" void __libc_free(void*);

extern "C" void* malloc(size_t n) {
  ++allocations;
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t count, size_t n) {
  ++allocations;
  return __libc_calloc(count, n);
}
extern "C" void* realloc(void* p, size_t n) {
  ++allocations;
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) {
  __libc_free(p);
}

void* operator new(size_t n) {
  ++allocations;
  if (void* p = __libc_malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) {
  return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  ++allocations;
  return __libc_malloc(n == 0 ? 1 : n);
}
void* operator new[](size_t n, const std::nothrow_t& tag) noexcept {
  return operator new(n, tag);
}
void* operator new(size_t n, std::align_val_t a) {
  ++allocations;
  if (void* p = __libc_memalign(static_cast<size_t>(a), n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n, std::align_val_t a) {
  return operator new(n, a);
}
void operator delete(void* p) noexcept {
  __libc_free(p);
}
void operator delete[](void* p) noexcept {
  __libc_free(p);
}
void operator delete(void* p, size_t) noexcept {
  __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept {
  __libc_free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  __libc_free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  __libc_free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
  __libc_free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
  __libc_free(p);
}

namespace {

// The fakes keep records of their own (a message queue, a copy of every played
// buffer) that grow as they work; these do the same work from fixed storage, so
// whatever is counted is the engine's.
class RingPlatform : public FakePlatform {
 public:
  void Post(const Message& message) override {
    ASSERT_LT(count, ring.size());
    ring[(first + count++) % ring.size()] = message;
  }
  int Deliver() {
    int delivered = 0;
    while (count > 0) {
      const Message m = ring[first];
      first = (first + 1) % ring.size();
      --count;
      WaveMessage(m.id, m.wParam, m.lParam);
      ++delivered;
    }
    return delivered;
  }

 private:
  std::array<Message, 64> ring{};
  size_t first = 0;
  size_t count = 0;
};

class PlainWaveOut : public FakeWaveOut {
 public:
  int Write(WaveHeader& header) override {
    if (!isOpen) return 2;
    header.done = 0;
    header.queued = 1;
    queued.push_back(&header);
    ++writes;
    return kWaveOk;
  }
  int writes = 0;
};

RingPlatform ringPlatform;
PlainWaveOut plainOut;
FakeWaveIn plainIn;

class StreamingAllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempFolder("alloc");
    ASSERT_FALSE(dir.empty());
    workDir = dir;
    InstallPlatform(&ringPlatform);
    InstallWaveDevices(&plainOut, &plainIn);
    // Room enough that the devices' queues never grow while counting.
    plainOut.queued.reserve(64);
    plainIn.queued.reserve(64);
    song.workBuffer = TryAllocate(WorkBufferBytes);
    ASSERT_TRUE(song.workBuffer);
    for (int t = 0; t <= TrackCount; ++t) {
      Track& track = tracks[t];
      track.index = t;
      track.playOn = 1;
      track.effectOn = t % 2;
      track.volume = 70;
      track.loopOn = 0;
    }
    // Track 3 repeats a second and a half from its start.
    tracks[3].loopOn = 1;
    tracks[3].loopStart = 0;
    tracks[3].loopEnd = BytesPerSecond * 3 / 2;
    ASSERT_EQ(SongFileInit(), 1);
    std::vector<uint8_t> audio(size_t{BytesPerSecond} * 40);
    for (size_t i = 0; i < audio.size(); ++i)
      audio[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    for (int t = 1; t <= TrackCount; ++t) {
      FileWrite(tracks[t], audio.data(), 0, static_cast<int32_t>(audio.size()));
    }
    AudioInit();
    RecordInit();
  }
  void TearDown() override {
    RecordRelease();
    AudioRelease();
    SongFileClose();
    song.workBuffer.reset();
    InstallFakes();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // Plays `seconds` buffers back and hands every notice to the engine; when
  // recording, a second of input arrives meanwhile, a capture buffer at a time.
  void Stream(int seconds, bool recording) {
    for (int i = 0; i < seconds; ++i) {
      ringPlatform.Advance(1000);
      for (size_t fed = 0; recording && fed < input.size(); fed += 16384) {
        plainIn.FeedInput(
            std::span(input).subspan(fed, std::min<size_t>(16384, input.size() - fed)));
        ringPlatform.Deliver();
      }
      plainOut.CompleteOutput(1);
      ringPlatform.Deliver();
    }
  }

  std::vector<uint8_t> input = std::vector<uint8_t>(BytesPerSecond, 0x21);
  std::string dir;
};

TEST_F(StreamingAllocationTest, PlaybackRefillsAllocateNothing) {
  song.armedTrack = 0;
  song.positionMs = 0;
  TransportStart();
  ASSERT_EQ(song.running, 1);
  const long before = allocations.load();
  const int writesBefore = plainOut.writes;
  Stream(30, false);
  TransportStop();
  ringPlatform.Deliver();
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(plainOut.writes - writesBefore, 30);  // the refills did happen
  EXPECT_TRUE(ringPlatform.messages.empty());
}

TEST_F(StreamingAllocationTest, RecordingAllocatesNothingBetweenStartAndStop) {
  song.armedTrack = 2;
  song.positionMs = 5000;
  song.markerInMs = 7000;
  song.markerOutMs = 20000;
  TransportStart();
  ASSERT_EQ(song.running, 1);
  const long before = allocations.load();
  Stream(20, true);
  TransportStop();
  ringPlatform.Deliver();
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_TRUE(ringPlatform.messages.empty());
  // The take reached the song file: the region between the markers holds input.
  song.mixSecond = 10;
  song.ringSecond = 0;
  ReadTrackBlock(tracks[2]);
  EXPECT_EQ(tracks[2].audioRing[0][0], 0x21);
}

// The counter itself must see the allocations it is there to catch.
TEST(AllocationCounter, CountsAllocations) {
  const long before = allocations.load();
  auto* p = new std::vector<int>(100);
  delete p;
  void* q = malloc(10);
  free(q);
  EXPECT_GE(allocations.load() - before, 3);
}

}  // namespace
