#include "app/window_title.h"

#include "app/about.h"
#include "platform/platform.h"
#include "song/song_file.h"

namespace {

// The song whose title the window shows: the title follows from its path alone,
// so a message that left the path alone costs one comparison.
std::string shownPath;
bool titleKnown = false;

// The file's name without its folder and without ".svl".
std::string SongName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  constexpr std::string_view kExtension = ".svl";
  if (name.size() > kExtension.size() && name.ends_with(kExtension)) {
    name.resize(name.size() - kExtension.size());
  }
  return name;
}

}  // namespace

std::string WindowTitle() {
  // A window whose working song another one holds has no song at all.
  if (songPath.empty()) return kWindowTitle;
  const std::string name = songPath == WorkingFilePath() ? "Untitled" : SongName(songPath);
  return name + " \u2014 " + kWindowTitle;
}

void RefreshTitle() {
  if (titleKnown && songPath == shownPath) return;
  shownPath = songPath;
  titleKnown = true;
  platform().SetTitle(WindowTitle());
}

void ForgetTitle() {
  titleKnown = false;
}
