// What the song and the audio engine tell whoever shows them: a track's meter
// moved, a long command progressed, the song's settings were replaced. The panel
// installs its handlers when it is built; without them (svltool, the model's own
// tests) every notice goes nowhere.
#pragma once

struct SongNotices {
  // Every setting of the song may be new (a song was opened or started afresh).
  void (*songLoaded)() = nullptr;
  // The song was closed: what was kept about it (a solo's switches) is stale.
  void (*songLeft)() = nullptr;
  void (*meterChanged)(int track) = nullptr;
  // From 1 to 280 a bar of that many steps; 0 hides it.
  void (*progress)(int value) = nullptr;
};

// Replaces the handlers; an empty SongNotices makes every notice quiet.
void InstallSongNotices(const SongNotices& notices);

void NoticeSongLoaded();
void NoticeSongLeft();
void NoticeMeterChanged(int track);
void NoticeProgress(int value);
