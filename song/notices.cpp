#include "song/notices.h"

namespace {
SongNotices installed;
}

void InstallSongNotices(const SongNotices& notices) {
  installed = notices;
}

void NoticeSongLoaded() {
  if (installed.songLoaded != nullptr) installed.songLoaded();
}

void NoticeSongLeft() {
  if (installed.songLeft != nullptr) installed.songLeft();
}

void NoticeMeterChanged(int track) {
  if (installed.meterChanged != nullptr) installed.meterChanged(track);
}

void NoticeProgress(int value) {
  if (installed.progress != nullptr) installed.progress(value);
}
