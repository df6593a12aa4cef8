// The File menu's other exports, chosen as a user chooses them: the stretch
// between the markers, the mix trimmed to its last sound, and every track on its
// own, lined up at 0:00.
#include <optional>

#include "app/menus.h"
#include "base/bytes.h"
#include "codecs/sound_file.h"
#include "panel/commands.h"
#include "program_fixture.h"
#include "song/song_file.h"

namespace {

constexpr size_t kHeader = 44;

class ExportMenuTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    settings.emplace("XDG_CONFIG_HOME", folder.string() + "/config");
    Paint();
    tracksFolder.clear();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    settings.reset();
  }

  // Noise in track t from byte `from` for `bytes` (its last frame never silent),
  // heard at full volume.
  static void Sound(int t, int32_t from, int32_t bytes, uint32_t seed) {
    Bytes noise = Pattern(static_cast<size_t>(from + bytes), seed);
    noise[noise.size() - 4] = 1;
    ASSERT_EQ(FileWrite(tracks[t], noise.data(), from, bytes), bytes);
    tracks[t].playOn = 1;
    tracks[t].volume = 90;
  }
  // Chooses the File menu's entry; the dialog answered as given.
  static void Choose(uintptr_t command, std::optional<std::string> answer,
                     std::optional<bool> checked = {}) {
    fakePlatform.ScriptDialog(std::move(answer), checked);
    ASSERT_EQ(RunMenuCommand(command), 1);
    fakePlatform.Pump();
  }
  std::string In(const std::string& name) const { return (folder / name).string(); }

  std::optional<ScopedEnv> settings;
};

const MenuEntry* FileEntry(uintptr_t command) {
  for (const MenuEntry& entry : MenuBar().front().entries) {
    if (entry.command == command) return &entry;
  }
  return nullptr;
}

TEST_F(ExportMenuTest, BetweenTheMarkersIsTheMixFrameForFrame) {
  ASSERT_NE(FileEntry(kExportBetweenMarkersCommand), nullptr);
  EXPECT_STREQ(FileEntry(kExportBetweenMarkersCommand)->text, "Export &Between Markers\u2026");
  Sound(1, 0, 5 * BytesPerSecond, 3);
  Choose(kExportCommand, In("whole.wav"), false);
  const Bytes whole = ReadFile(In("whole.wav"));
  ASSERT_EQ(whole.size(), kHeader + TrackRegionBytes);

  song.markerInMs = 1234;
  song.markerOutMs = 3457;
  Choose(kExportBetweenMarkersCommand, In("range.wav"));
  const DialogCall& dialog = fakePlatform.dialogs.back();
  EXPECT_EQ(dialog.title, "Export Between Markers");
  EXPECT_FALSE(dialog.checkBox.has_value());
  EXPECT_EQ(dialog.startName, In("whole.wav"));
  const Bytes range = ReadFile(In("range.wav"));
  const size_t in = MsToByteOffset(1234);
  const size_t out = MsToByteOffset(3457);
  ASSERT_EQ(range.size(), kHeader + out - in);
  EXPECT_EQ(LoadU32(range.data() + 40), out - in);
  EXPECT_TRUE(std::equal(range.begin() + kHeader, range.end(), whole.begin() + kHeader + in));
  EXPECT_TRUE(fakePlatform.messages.empty());

  // Markers at one place mark nothing: said, and nothing written.
  song.markerOutMs = song.markerInMs;
  Choose(kExportBetweenMarkersCommand, In("none.wav"));
  EXPECT_FALSE(std::filesystem::exists(In("none.wav")));
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
}

TEST_F(ExportMenuTest, TrimmingEndsTheFileAtTheLastSoundAndIsRemembered) {
  // The last sound falls inside a second, on a frame of its own.
  const int32_t end = 3 * BytesPerSecond + 4 * 123;
  Sound(2, 0, end, 5);

  Choose(kExportCommand, In("trimmed.flac"), true);
  ASSERT_EQ(fakePlatform.dialogs.size(), 1u);
  EXPECT_EQ(fakePlatform.dialogs[0].title, "Export Mix");
  ASSERT_TRUE(fakePlatform.dialogs[0].checkBox.has_value());
  EXPECT_EQ(fakePlatform.dialogs[0].checkBox->text, "Trim silence at the end");
  EXPECT_FALSE(fakePlatform.dialogs[0].checkBox->checked);
  Bytes trimmed(TrackRegionBytes);
  std::string why;
  trimmed.resize(DecodeSoundFile(In("trimmed.flac"), trimmed, &why));
  ASSERT_EQ(trimmed.size(), size_t{end});
  EXPECT_NE(LoadU32(trimmed.data() + end - 4), 0u);

  // The next export offers the box ticked; left unticked, the song is whole.
  Choose(kExportCommand, In("whole.wav"), false);
  EXPECT_TRUE(fakePlatform.dialogs[1].checkBox->checked);
  const Bytes whole = ReadFile(In("whole.wav"));
  ASSERT_EQ(whole.size(), kHeader + TrackRegionBytes);
  EXPECT_TRUE(std::equal(trimmed.begin(), trimmed.end(), whole.begin() + kHeader));
  Choose(kExportCommand, std::nullopt);
  EXPECT_FALSE(fakePlatform.dialogs[2].checkBox->checked);
}

TEST_F(ExportMenuTest, EachTrackThatHoldsAudioIsAFileOfItsOwnLinedUpAtZero) {
  EXPECT_STREQ(FileEntry(kExportTracksCommand)->text, "Export &Tracks\u2026");
  // Nothing recorded yet: said, and no file.
  const std::string stems = In("stems");
  std::filesystem::create_directory(stems);
  Choose(kExportTracksCommand, stems);
  EXPECT_TRUE(std::filesystem::is_empty(stems));
  ASSERT_EQ(fakePlatform.messages.size(), 1u);

  Sound(1, 0, 2 * BytesPerSecond, 7);
  Sound(3, 2 * BytesPerSecond, BytesPerSecond, 8);
  Sound(5, 0, 4000, 9);
  std::copy_n("Bass", 4, tracks[1].name);
  std::copy_n("AC/DC", 5, tracks[5].name);
  tracks[1].volume = 20;  // as recorded: no volume, no effect
  tracks[1].effectOn = 1;
  fakePlatform.Reset();
  Choose(kExportTracksCommand, stems);
  const DialogCall& dialog = fakePlatform.dialogs[0];
  EXPECT_TRUE(dialog.folder);
  EXPECT_EQ(dialog.title, "Export Tracks");
  EXPECT_EQ(dialog.checkBox->text, "FLAC instead of WAV");
  EXPECT_TRUE(fakePlatform.messages.empty());
  const std::pair<int, const char*> expected[] = {
      {1, "01 Bass.wav"}, {3, "03 Track 3.wav"}, {5, "05 AC-DC.wav"}};
  size_t files = 0;
  for (const auto& [t, name] : expected) {
    const Bytes file = ReadFile(stems + "/" + name);
    ASSERT_EQ(file.size(), kHeader + TrackRegionBytes) << name;
    const Bytes region = RegionOf(songPath, t, 0, TrackRegionBytes);
    EXPECT_TRUE(std::equal(region.begin(), region.end(), file.begin() + kHeader)) << name;
    ++files;
  }
  EXPECT_EQ(static_cast<size_t>(std::distance(std::filesystem::directory_iterator(stems),
                                              std::filesystem::directory_iterator())),
            files);

  // FLAC when ticked, the same samples; the folder is offered again.
  Choose(kExportTracksCommand, stems, true);
  EXPECT_EQ(fakePlatform.dialogs[1].startName, stems);
  Bytes decoded(TrackRegionBytes);
  std::string why;
  decoded.resize(DecodeSoundFile(stems + "/01 Bass.flac", decoded, &why));
  EXPECT_EQ(decoded, RegionOf(songPath, 1, 0, TrackRegionBytes));

  // A folder that cannot be written: said, with the reason.
  fakePlatform.Reset();
  const ReadOnlyFolder locked(In("locked"));
  Choose(kExportTracksCommand, In("locked"), false);
  ASSERT_EQ(fakePlatform.messages.size(), 1u);
  EXPECT_TRUE(fakePlatform.messages[0].text.ends_with("01 Bass.wav: Permission denied"))
      << fakePlatform.messages[0].text;
}

}  // namespace
