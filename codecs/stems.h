// Each track on its own: the stems another program lines up at 0:00.
#pragma once

#include <string>

#include "codecs/export.h"
#include "song/song_state.h"

// The file a track's stem is written to inside a folder: "01 Bass.wav", the
// track's name as the panel shows it (a '/' as '-'), or "Track 1" when it has none.
std::string StemName(const Track& track, ExportFormat format);

// Writes every track that holds audio into folder (which ends in '/' or not) as
// its own file of the format (WAV or FLAC): its whole region as recorded, with
// no volume and no effect, 281 seconds from 0:00. Returns the files written;
// 0 after a message when no track holds audio or a file could not be written.
int ExportTracksTo(const std::string& folder, ExportFormat format);
