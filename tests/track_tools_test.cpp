// The Track menu and imports that are heard: click tracks on the exact frames,
// bounces that are the export of their tracks, and every one of them undone
// with the settings it switched.
#include "app/menus.h"
#include "codecs/click_track.h"
#include "panel/controls.h"
#include "program_fixture.h"
#include "song/song_file.h"
#include "song/undo.h"

namespace {

constexpr int64_t kSongFrames = TrackRegionBytes / 4;

// Where each click of a track begins (its first sound after silence), and
// whether it is the higher tone: counted by its sign changes over 40 ms.
struct Clicks {
  std::vector<int64_t> onsets;
  std::vector<bool> high;
};

Clicks ClicksIn(const Bytes& region) {
  Clicks clicks;
  int64_t last = -kSongFrames;
  for (int64_t f = 0; f < kSongFrames; ++f) {
    if (LoadI16(region.data() + 4 * f) == 0 || f - last < 2000) continue;
    last = f;
    int crossings = 0;
    for (int64_t g = f + 1; g < std::min(f + 1764, kSongFrames); ++g) {
      crossings += (LoadI16(region.data() + 4 * g) < 0) != (LoadI16(region.data() + 4 * g - 4) < 0);
    }
    clicks.onsets.push_back(f);
    clicks.high.push_back(crossings > 100);
  }
  return clicks;
}

class TrackToolsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Paint();
  }
  Bytes Track(int t) { return RegionOf(songPath, t, 0, TrackRegionBytes); }
  Bytes Song() { return SongSnapshot(songPath, TrackCount, 3 * BytesPerSecond); }
};

TEST_F(TrackToolsTest, ClicksFallOnTheNearestFrameOfEveryBeatWithTheBarsFirstHigher) {
  // 96 beats a minute is 27,562.5 frames a beat, 110 is 24,054.54...
  for (const auto& [bpm, beats] : {std::pair{120, 4}, {96, 3}, {110, 1}, {300, 12}, {30, 5}}) {
    ASSERT_EQ(WriteClickTrack(tracks[3], {bpm, beats, -12}), 1);
    const Clicks clicks = ClicksIn(Track(3));
    std::vector<int64_t> expected;
    for (int64_t n = 0; std::llround(n * 60.0 * 44100 / bpm) < kSongFrames; ++n) {
      expected.push_back(std::llround(n * 60.0 * 44100 / bpm));
    }
    EXPECT_EQ(clicks.onsets, expected) << bpm;
    for (size_t n = 0; n < clicks.high.size(); ++n) {
      ASSERT_EQ(clicks.high[n], n % beats == 0) << bpm << " beat " << n;
    }
  }
  // The level is the clicks' peak, in both channels.
  const Bytes region = Track(3);
  int peak = 0;
  for (size_t i = 0; i < region.size(); i += 4) {
    ASSERT_EQ(LoadI16(region.data() + i), LoadI16(region.data() + i + 2));
    peak = std::max(peak, std::abs(LoadI16(region.data() + i)));
  }
  EXPECT_EQ(peak, 8231);  // -12 dBFS of 32,767
}

TEST_F(TrackToolsTest, AClickTrackGoesWhereTheFormSaysAndIsOneStepToUndo) {
  Command(geometry::kImport, WriteTrackWav(folder / "Kick drum.wav", Pattern(BytesPerSecond)));
  const Bytes before = Song();
  fakePlatform.ScriptForm(std::vector<int>{96, 3});
  Menu(kClickTrackCommand);

  ASSERT_EQ(fakePlatform.forms.size(), 1u);
  const std::vector<FormField>& asked = fakePlatform.forms[0].fields;
  EXPECT_EQ(fakePlatform.forms[0].title, "Click Track");
  EXPECT_EQ(std::vector<int>({asked[0].value, asked[1].value, asked[2].value, asked[3].value}),
            std::vector<int>({120, 4, 1, -12}))
      << "track 2, the first holding no audio";
  EXPECT_EQ(asked[2].choices[0], "Track 1: Kick drum");
  EXPECT_EQ(ClicksIn(Track(2)).onsets[1], 27563);
  EXPECT_EQ(ShownName(tracks[2]), "Click 96");
  EXPECT_EQ(controlManager.value[speakerButton[2]], 1);

  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo Click Track on Track 2");
  Menu(kUndoCommand);
  EXPECT_EQ(Song(), before);
  EXPECT_EQ(TrackHoldsAudio(tracks[2]), 0);
  EXPECT_EQ(controlManager.value[speakerButton[2]], 0) << "the panel shows what Undo did";
}

TEST_F(TrackToolsTest, ABounceIsTheExportOfItsTracksAndUndoBringsEveryTrackBack) {
  // Loud enough to reach the 16-bit limits; two through the reverb, one looping.
  for (int t = 1; t <= 6; ++t) {
    const Bytes audio = Pattern(2 * BytesPerSecond, t);
    FileWrite(tracks[t], audio.data(), 0, static_cast<int32_t>(audio.size()));
    tracks[t].playOn = t <= 4;
    tracks[t].volume = static_cast<int8_t>(40 + 10 * t);
  }
  tracks[1].effectOn = tracks[2].effectOn = 1;
  tracks[3].loopOn = 1;
  tracks[3].loopEnd = 3 * BytesPerSecond / 2;
  const std::string mix = (folder / "sources.wav").string();
  ASSERT_EQ(ExportMixTo(mix), 1);
  Click(Middle(geometry::Arm(6)));  // armed: neither a source nor a destination
  const Bytes before = Song();

  fakePlatform.ScriptForm(std::vector<int>{});
  Menu(kBounceCommand);
  ASSERT_EQ(fakePlatform.forms.size(), 1u);
  const FormField& asked = fakePlatform.forms[0].fields[0];
  EXPECT_EQ(asked.choices, (std::vector<std::string>{"Track 5", "Track 7", "Track 8"}));
  EXPECT_EQ(asked.value, 1);
  EXPECT_EQ(Track(7), ReadBytes(mix, 44, TrackRegionBytes));
  for (int t = 1; t <= 4; ++t) EXPECT_EQ(tracks[t].playOn, 0) << t;
  EXPECT_EQ(song.armedTrack, 6);
  EXPECT_EQ(std::vector<int>({tracks[7].playOn, tracks[7].volume, tracks[7].effectOn}),
            std::vector<int>({1, 90, 0}));
  EXPECT_EQ(ShownName(tracks[7]), "Bounce 1+2+3+4");
  EXPECT_EQ(Entry(kUndoCommand).text, "&Undo Bounce to Track 7");

  Menu(kUndoCommand);
  EXPECT_EQ(Song(), before);
  EXPECT_EQ(FileSize(songPath), SongHeaderBytes + 6 * int64_t{TrackRegionBytes});
  EXPECT_TRUE(fakePlatform.messages.empty());
}

TEST_F(TrackToolsTest, AnImportIsHeardAndNamedAfterItsFileUnlessArmedOrNamed) {
  Command(geometry::kImport,
          WriteTrackWav(folder / "Caf\xc3\xa9 Ol\xc3\xa9 at midnight, take 12.wav",
                        Pattern(BytesPerSecond)));
  EXPECT_EQ(controlManager.value[speakerButton[1]], 1);
  EXPECT_EQ(ShownName(tracks[1]), "Caf_ Ol_ at midnight,");

  SetTrackName(tracks[2], "Bass");
  Click(Middle(geometry::Arm(2)));
  Command(geometry::kImport, WriteTrackWav(folder / "two.wav", Pattern(BytesPerSecond)));
  EXPECT_EQ(tracks[2].playOn, 0);
  EXPECT_EQ(song.armedTrack, 2);
  EXPECT_EQ(ShownName(tracks[2]), "Bass");

  Menu(kUndoCommand);
  Menu(kUndoCommand);
  EXPECT_EQ(tracks[1].playOn, 0);
  EXPECT_TRUE(TrackUnnamed(tracks[1]));
}

}  // namespace
