#include "song/song_file.h"

#include <fcntl.h>

#include <array>

#include "base/bytes.h"
#include "base/file_handle.h"
#include "song_fixture.h"

namespace {

constexpr int64_t Region(int n) {
  return SongHeaderBytes + int64_t{n - 1} * TrackRegionBytes;
}

using SongFileTest = SongFolderTest;

// A version 2 settings record as a song file holds it.
std::vector<uint8_t> Record(uint8_t play, uint8_t volume, const char* name, uint8_t effect,
                            uint8_t loop, int32_t start, int32_t end) {
  std::vector<uint8_t> r(33, 0);
  r[0] = play;
  r[1] = volume;
  std::memcpy(r.data() + 2, name, std::min<size_t>(21, std::strlen(name)));
  r[23] = effect;
  r[24] = loop;
  StoreI32(r.data() + 25, start);
  StoreI32(r.data() + 29, end);
  return r;
}

TEST_F(SongFileTest, AFreshWorkingFileIsAHeaderOfZerosAndALeftoverSongIsKept) {
  // An empty song left behind is just replaced.
  WriteFile(dir + "default.svl", std::vector<uint8_t>(8000, 0));
  song.workBuffer[TrackRegionBytes - 1] = 9;
  ASSERT_EQ(SongFileInit(), 1);
  EXPECT_EQ(songPath, dir + "default.svl");
  EXPECT_EQ(FileSize(songPath), 8000);
  EXPECT_EQ(song.workBuffer[TrackRegionBytes - 1], 0);
  EXPECT_TRUE(fakePlatform.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(dir + "unsaved"));
  SongFileClose();

  // One holding a song (audio, or only settings) is moved away first, and the
  // user is told where it went.
  for (const size_t size : {size_t{20000}, size_t{8000}}) {
    std::vector<uint8_t> leftover(size, 0);
    leftover[size - 1] = 0x5A;
    WriteFile(dir + "default.svl", leftover);
    fakePlatform.Reset();
    ASSERT_EQ(SongFileInit(), 1);
    EXPECT_EQ(FileSize(songPath), 8000);
    EXPECT_TRUE(AllZero(ReadBytes(songPath, 0, 8000)));
    ASSERT_EQ(fakePlatform.messages.size(), 1u);
    const std::string text = fakePlatform.messages[0].text;
    const std::string kept = text.substr(text.find(dir + "unsaved/unsaved-"));
    EXPECT_EQ(ReadBytes(kept.substr(0, kept.find(".svl") + 4)), leftover) << text;
    EXPECT_NE(text.find("Open brings it back"), std::string::npos);
    SongFileClose();
  }

  // Left untouched, the working song leaves nothing behind.
  EXPECT_EQ(FileSize(dir + "default.svl"), -1);
  EXPECT_EQ(SongFileIsOpen(), 0);
  EXPECT_TRUE(songPath.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir + "unsaved"), {}), 2);
}

TEST_F(SongFileTest, InitReportsAFolderItCannotWriteAndAFullDisk) {
  workDir = dir + "missing/";
  EXPECT_EQ(SongFileInit(), 0);
  EXPECT_EQ(SongFileIsOpen(), 0);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0],
            (ShownMessage{
                "SongFileInit - failed\n" + dir + "missing/default.svl: No such file or directory",
                "Error"}));

  workDir = dir;
  fakePlatform.Reset();
  {
    FileSizeLimit full(3000);
    EXPECT_EQ(SongFileInit(), 0);
  }
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0], (ShownMessage{"Not enough disk space to create a song\n" +
                                                        dir + "default.svl: File too large",
                                                    "Error"}));
  // The file stays the open song, as short as the disk allowed.
  EXPECT_EQ(SongFileIsOpen(), 1);
  EXPECT_EQ(FileSize(dir + "default.svl"), 3000);
}

TEST_F(SongFileTest, HeaderIsWrittenByteForByte) {
  ASSERT_EQ(SongFileInit(), 1);
  for (int n = 1; n <= TrackCount; ++n) {
    Track& t = tracks[n];
    t.playOn = n % 2;
    t.volume = static_cast<int8_t>(10 * n);
    std::snprintf(t.name, sizeof t.name, "Track %-15d", n);
    t.effectOn = n == 3;
    t.loopOn = n == 4;
    t.loopStart = n == 4 ? 0x01020304 : 0;
    t.loopEnd = n == 4 ? -2 : 441000;
  }
  SongFileWriteHeader();

  const auto bytes = ReadBytes(songPath, 0, 8000);
  ASSERT_EQ(bytes.size(), 8000u);
  EXPECT_EQ(bytes[0], 2);
  for (int n = 1; n <= TrackCount; ++n) {
    const std::vector<uint8_t> record(bytes.begin() + 1 + 33 * (n - 1), bytes.begin() + 1 + 33 * n);
    char name[22];
    std::snprintf(name, sizeof name, "Track %-15d", n);
    EXPECT_EQ(record, Record(n % 2, 10 * n, name, n == 3, n == 4, n == 4 ? 0x01020304 : 0,
                             n == 4 ? -2 : 441000))
        << "track " << n;
  }
  EXPECT_TRUE(AllZero(std::vector<uint8_t>(bytes.begin() + 265, bytes.end())));
  EXPECT_EQ(FileSize(songPath), 8000);
}

TEST_F(SongFileTest, HeaderLayoutsLoadByVersion) {
  // Version 0, as a copied fresh working file: everything zero, names NUL.
  const std::string zero = dir + "zero.svl";
  WriteFile(zero, std::vector<uint8_t>(8000, 0));
  for (int n = 1; n <= TrackCount; ++n) {
    tracks[n].playOn = tracks[n].effectOn = 1;
    tracks[n].volume = 80;
    std::memset(tracks[n].name, ' ', 21);
  }
  ASSERT_EQ(SongFileOpen(zero), 1);
  EXPECT_EQ(songPath, zero);
  for (int n = 1; n <= TrackCount; ++n) {
    EXPECT_EQ(tracks[n].playOn, 0);
    EXPECT_EQ(tracks[n].volume, 0);
    EXPECT_EQ(tracks[n].effectOn, 0);
    EXPECT_EQ(tracks[n].loopOn, 0);
    EXPECT_EQ(std::string(tracks[n].name, 22), std::string(22, '\0'));
  }

  // Version 1: 23-byte records; effects and loops switch off.
  std::vector<uint8_t> v1(185 + 1, 0);
  v1[0] = 1;
  for (int n = 1; n <= TrackCount; ++n) {
    uint8_t* r = v1.data() + 1 + 23 * (n - 1);
    r[0] = n == 2;
    r[1] = static_cast<uint8_t>(n == 5 ? 95 : 40 + n);
    std::memcpy(r + 2, "Old name            X", 21);
    tracks[n].effectOn = 1;
    tracks[n].loopOn = 1;
  }
  const std::string old = dir + "old.svl";
  WriteFile(old, v1);
  ASSERT_EQ(SongFileOpen(old), 1);
  for (int n = 1; n <= TrackCount; ++n) {
    EXPECT_EQ(tracks[n].playOn, n == 2 ? 1 : 0);
    EXPECT_EQ(tracks[n].volume, n == 5 ? 90 : 40 + n);
    EXPECT_EQ(std::string(tracks[n].name), "Old name            X");
    EXPECT_EQ(tracks[n].effectOn, 0);
    EXPECT_EQ(tracks[n].loopOn, 0);
  }
  // Saving it again writes the current layout.
  SongFileWriteHeader();
  const auto rewritten = ReadBytes(old, 0, 265);
  ASSERT_EQ(rewritten.size(), 265u);
  EXPECT_EQ(rewritten[0], 2);
  EXPECT_EQ(rewritten[1 + 33 + 1], 42);

  // A file shorter than its header: the missing bytes count as zero.
  const std::string shortFile = dir + "short.svl";
  WriteFile(shortFile, {2, 1, 60, 'A', 'B'});
  ASSERT_EQ(SongFileOpen(shortFile), 1);
  EXPECT_EQ(tracks[1].playOn, 1);
  EXPECT_EQ(tracks[1].volume, 60);
  EXPECT_EQ(std::string(tracks[1].name, 21), std::string("AB") + std::string(19, '\0'));
  EXPECT_EQ(tracks[2].volume, 0);
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(SongFileTest, LoadedSettingsAreMadeSafe) {
  std::vector<uint8_t> h(1, 2);
  const auto add = [&h](const std::vector<uint8_t>& r) { h.insert(h.end(), r.begin(), r.end()); };
  add(Record(2, 0xFB, "negative volume", 7, 3, 0, 441000));  // clamp, switches to 1, loop ok
  add(Record(1, 91, "loud", 0, 1, 1000, 1000));              // empty loop
  add(Record(0, 90, "", 0, 1, 5000, 4000));                  // end before start
  add(Record(0, 0x80, "", 0, 1, -4, 100));                   // before the region
  add(Record(0, 0x7F, "", 0, 1, 0, TrackRegionBytes + 4));   // past the region
  add(Record(0, 50, "", 0, 1, 0, TrackRegionBytes));         // the whole region
  add(Record(0, 50, "", 0, 0, 5000, 4000));                  // not looping at all
  add(Record(0, 50, "", 1, 1, TrackRegionBytes - 4, TrackRegionBytes));
  h.resize(8000, 0);
  const std::string path = dir + "hostile.svl";
  WriteFile(path, h);
  ASSERT_EQ(SongFileOpen(path), 1);

  EXPECT_EQ(tracks[1].playOn, 1);
  EXPECT_EQ(tracks[1].volume, 0);
  EXPECT_EQ(tracks[1].effectOn, 1);
  EXPECT_EQ(tracks[1].loopOn, 1);
  EXPECT_EQ(tracks[2].volume, 90);
  EXPECT_EQ(tracks[4].volume, 0);
  EXPECT_EQ(tracks[5].volume, 90);
  const int loopOn[9] = {0, 1, 0, 0, 0, 0, 1, 0, 1};
  for (int n = 1; n <= TrackCount; ++n) EXPECT_EQ(tracks[n].loopOn, loopOn[n]) << "track " << n;
  // The offsets themselves are kept, so saving writes back what was loaded.
  EXPECT_EQ(tracks[3].loopStart, 5000);
  EXPECT_EQ(tracks[3].loopEnd, 4000);
  EXPECT_EQ(tracks[4].loopStart, -4);
}

TEST_F(SongFileTest, LoopOffsetsInsideAFrameAreLoadedButNotPlayed) {
  std::vector<uint8_t> h(1, 2);
  const std::vector<uint8_t> r = Record(1, 80, "odd", 0, 1, 2, 176402);
  h.insert(h.end(), r.begin(), r.end());
  h.resize(8000, 0);
  const std::string path = dir + "odd.svl";
  WriteFile(path, h);
  ASSERT_EQ(SongFileOpen(path), 1);
  EXPECT_EQ(tracks[1].loopOn, 0);
  EXPECT_EQ(tracks[1].loopStart, 2);
  EXPECT_EQ(tracks[1].loopEnd, 176402);
}

TEST_F(SongFileTest, OpeningAMissingFileLeavesNoSongOpen) {
  ASSERT_EQ(SongFileInit(), 1);
  EXPECT_EQ(SongFileOpen(dir + "nothing.svl"), 0);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_EQ(fakePlatform.messages[0], (ShownMessage{"SongFileOpen - failed\n" + dir +
                                                        "nothing.svl: No such file or directory",
                                                    "Error"}));
  EXPECT_EQ(SongFileIsOpen(), 0);
  EXPECT_TRUE(songPath.empty());

  // Without a song, writes store nothing and reads are silence.
  const uint8_t data[4] = {1, 2, 3, 4};
  EXPECT_EQ(FileWrite(tracks[1], data, 0, 4), 0);
  std::memset(tracks[1].audioRing, 0xAA, sizeof tracks[1].audioRing);
  EXPECT_EQ(ReadTrackBlock(tracks[1]), BytesPerSecond);
  EXPECT_EQ(tracks[1].audioRing[0][0], 0);
  EXPECT_EQ(tracks[1].audioRing[0][BytesPerSecond - 1], 0);
}

TEST_F(SongFileTest, WritingPastTheEndExtendsWithZeros) {
  ASSERT_EQ(SongFileInit(), 1);
  FillPattern(BytesPerSecond);
  EXPECT_EQ(FileWrite(tracks[3], song.workBuffer.get(), 0, BytesPerSecond), BytesPerSecond);
  EXPECT_EQ(FileSize(songPath), 8000 + 2 * int64_t{TrackRegionBytes} + BytesPerSecond);
  EXPECT_TRUE(AllZero(ReadBytes(songPath, 0, 8000)));
  EXPECT_TRUE(AllZero(ReadBytes(songPath, Region(2), TrackRegionBytes)));
  const auto written = ReadBytes(songPath, Region(3), BytesPerSecond);
  EXPECT_EQ(written,
            std::vector<uint8_t>(song.workBuffer.get(), song.workBuffer.get() + BytesPerSecond));

  // The source is taken at the same offset as the region; a write never spills
  // into the next track's region.
  EXPECT_EQ(FileWrite(tracks[1], song.workBuffer.get(), 400, 100), 100);
  EXPECT_EQ(ReadBytes(songPath, Region(1) + 400, 100),
            std::vector<uint8_t>(song.workBuffer.get() + 400, song.workBuffer.get() + 500));
  EXPECT_EQ(FileWrite(tracks[2], song.workBuffer.get(), TrackRegionBytes - 8, 100), 8);
  EXPECT_EQ(ReadBytes(songPath, Region(3), BytesPerSecond), written);
  EXPECT_EQ(FileWrite(tracks[0], song.workBuffer.get(), 0, 4), 0);
}

TEST_F(SongFileTest, PlainReadsGiveSilenceWhereTheFileHoldsNothing) {
  ASSERT_EQ(SongFileInit(), 1);
  FillPattern(1000);
  ASSERT_EQ(FileWrite(tracks[2], song.workBuffer.get(), 0, 1000), 1000);

  std::memset(tracks[2].audioRing, 0xAA, sizeof tracks[2].audioRing);
  song.ringSecond = 4;
  song.mixSecond = 0;
  EXPECT_EQ(ReadTrackBlock(tracks[2]), BytesPerSecond);
  const uint8_t* slot = tracks[2].audioRing[1];
  EXPECT_TRUE(std::equal(slot, slot + 1000, song.workBuffer.get()));
  EXPECT_TRUE(AllZero(std::vector<uint8_t>(slot + 1000, slot + BytesPerSecond)));
  EXPECT_EQ(tracks[2].audioRing[0][0], 0xAA);
  EXPECT_EQ(tracks[2].audioRing[2][0], 0xAA);

  song.mixSecond = 10;
  std::memset(tracks[7].audioRing, 0xAA, sizeof tracks[7].audioRing);
  ReadTrackBlock(tracks[7]);
  EXPECT_TRUE(AllZero(
      std::vector<uint8_t>(tracks[7].audioRing[1], tracks[7].audioRing[1] + BytesPerSecond)));
}

TEST_F(SongFileTest, ClearTrackTailSilencesOnlyTheRestOfTheRegion) {
  ASSERT_EQ(SongFileInit(), 1);
  FillPattern(3 * BytesPerSecond);
  ASSERT_EQ(FileWrite(tracks[1], song.workBuffer.get(), 0, 3 * BytesPerSecond), 3 * BytesPerSecond);
  ASSERT_EQ(FileWrite(tracks[2], song.workBuffer.get(), 0, 100), 100);

  EXPECT_EQ(ClearTrackTail(tracks[1], BytesPerSecond), 1);
  const auto kept = ReadBytes(songPath, Region(1), BytesPerSecond);
  for (int64_t p = 0; p < BytesPerSecond; p += 997) EXPECT_EQ(kept[p], PatternByte(p));
  EXPECT_TRUE(AllZero(ReadBytes(songPath, Region(1) + BytesPerSecond, 2 * BytesPerSecond)));
  const auto next = ReadBytes(songPath, Region(2), 100);
  for (int64_t p = 0; p < 100; ++p) EXPECT_EQ(next[p], PatternByte(p));
  EXPECT_TRUE(AllZero(
      std::vector<uint8_t>(song.workBuffer.get(), song.workBuffer.get() + TrackRegionBytes)));
}

class LoopReadTest : public SongFolderTest {
 protected:
  void SetUp() override {
    SongFolderTest::SetUp();
    ASSERT_EQ(SongFileInit(), 1);
    FillPattern(TrackRegionBytes);
    ASSERT_EQ(FileWrite(tracks[1], song.workBuffer.get(), 0, TrackRegionBytes), TrackRegionBytes);
    ASSERT_EQ(FileWrite(tracks[2], song.workBuffer.get(), 0, BytesPerSecond), BytesPerSecond);
    song.ringSecond = 1;
    std::memset(tracks[1].audioRing, 0xEE, sizeof tracks[1].audioRing);
  }
  // Reads one block and checks that slot 1 holds region offsets offsets[i] and
  // that the neighbouring slots were not touched.
  template <typename OffsetOf>
  void ExpectBlock(OffsetOf offsetOf) {
    EXPECT_EQ(ReadTrackBlock(tracks[1]), BytesPerSecond);
    const uint8_t* slot = tracks[1].audioRing[1];
    int wrong = 0;
    for (int i = 0; i < BytesPerSecond; ++i) {
      if (slot[i] != PatternByte(offsetOf(i)) && ++wrong < 5) {
        ADD_FAILURE() << "byte " << i << " should come from offset " << offsetOf(i);
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(tracks[1].audioRing[0][BytesPerSecond - 1], 0xEE);
    EXPECT_EQ(tracks[1].audioRing[2][0], 0xEE);
  }
};

TEST_F(LoopReadTest, TwoAndAHalfSecondLoopWrapsInsideTheThirdBlock) {
  Track& t = tracks[1];
  t.loopOn = 1;
  t.loopStart = 0;
  t.loopEnd = 441000;
  t.loopPos = 0;
  song.mixSecond = 200;  // a looping read ignores the song position
  ExpectBlock([](int i) { return i; });
  EXPECT_EQ(t.loopPos, 176400);
  ExpectBlock([](int i) { return 176400 + i; });
  ExpectBlock([](int i) { return i < 88200 ? 352800 + i : i - 88200; });
  EXPECT_EQ(t.loopPos, 88200);
}

TEST_F(LoopReadTest, ShortLoopRepeatsAsOftenAsTheBlockNeeds) {
  Track& t = tracks[1];
  t.loopOn = 1;
  t.loopStart = 5000;
  t.loopEnd = 6000;
  t.loopPos = 5700;
  ExpectBlock([](int i) { return i < 300 ? 5700 + i : 5000 + (i - 300) % 1000; });
  EXPECT_EQ(t.loopPos, 5100);

  // A read position outside the loop starts it again.
  t.loopPos = 123456789;
  ExpectBlock([](int i) { return 5000 + i % 1000; });
  t.loopPos = 4999;
  ExpectBlock([](int i) { return 5000 + i % 1000; });
}

TEST_F(LoopReadTest, LoopAtTheRegionEndNeverReadsTheNextTrack) {
  Track& t = tracks[1];
  t.loopOn = 1;
  t.loopStart = TrackRegionBytes - 1000;
  t.loopEnd = TrackRegionBytes;
  t.loopPos = TrackRegionBytes - 10;
  ExpectBlock([](int i) {
    return i < 10 ? TrackRegionBytes - 10 + i : TrackRegionBytes - 1000 + (i - 10) % 1000;
  });
}

TEST_F(LoopReadTest, LoopFieldsThatDoNotFitPlayTheTrackStraight) {
  Track& t = tracks[1];
  song.mixSecond = 3;
  const int32_t bad[][3] = {{1000, 1000, 1000},
                            {5000, 4000, 4500},
                            {-176400, 100, 0},
                            {0, TrackRegionBytes + 4, 0},
                            {TrackRegionBytes - 4, INT32_MAX, INT32_MIN},
                            // inside a frame: noise with the channels swapped
                            {2, 176402, 2},
                            {0, 176402, 0}};
  for (const auto& f : bad) {
    SCOPED_TRACE(testing::Message() << f[0] << ".." << f[1] << " at " << f[2]);
    t.loopOn = 1;
    t.loopStart = f[0];
    t.loopEnd = f[1];
    t.loopPos = f[2];
    ExpectBlock([](int i) { return 3 * 176400 + i; });
  }
}

}  // namespace

namespace {

// The copy under every save: it must own up to a full disk, on the kernel's path
// and on the buffered one alike.
TEST_F(SongFileTest, FileCopiesReportWhatAFullDiskLeftOut) {
  const std::string source = dir + "source";
  std::vector<uint8_t> bytes(3'000'000);
  for (size_t p = 0; p < bytes.size(); ++p) bytes[p] = PatternByte(static_cast<int64_t>(p));
  WriteFile(source, bytes);
  const FileHandle from = FileHandle::Open(source, O_RDONLY);
  ASSERT_TRUE(from.IsOpen());

  char shm[] = "/dev/shm/sonavel-copy-XXXXXX";
  const bool haveShm = mkdtemp(shm) != nullptr;
  std::vector<std::string> targets = {dir + "same-filesystem"};
  if (haveShm) targets.push_back(std::string(shm) + "/other-filesystem");
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    std::vector<uint8_t> buffer(1 << 16);
    {
      const FileHandle to = FileHandle::Open(target, O_WRONLY | O_CREAT | O_TRUNC);
      EXPECT_EQ(from.CopyTo(to, 0, 3'000'000, buffer), 3'000'000);
      // Past the source's end there is nothing to copy.
      EXPECT_EQ(from.CopyTo(to, 2'999'000, 5000, buffer), 1000);
    }
    EXPECT_EQ(ReadBytes(target, 0, 3'000'000), bytes);
    {
      const FileHandle to = FileHandle::Open(target, O_WRONLY | O_CREAT | O_TRUNC);
      FileSizeLimit full(1'000'000);
      EXPECT_EQ(from.CopyTo(to, 0, 3'000'000, buffer), 1'000'000);
    }
  }
  if (haveShm) std::filesystem::remove_all(shm);
}

}  // namespace
