// Sound files read through FFmpeg's libraries: whatever the other readers do not
// take (AAC and ALAC in MP4, ADTS AAC, WebM and Matroska, WMA, AC-3, the sound of
// a video), the first audio stream converted to 44,100 Hz 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "song/song_state.h"

// Decodes the file's first audio stream into output, as much as fits, and returns
// the bytes written (whole frames). why: empty when audio came out, else FFmpeg's
// reason ("Invalid data found when processing input", "no audio stream").
size_t DecodeWithFfmpeg(const std::string& path, std::span<uint8_t> output, std::string* why);

// The last resort of every import, after the reader the file's content chose (or
// none) refused it: the file goes through FFmpeg into the track. When FFmpeg cannot
// read it either, the reader's refusal is shown ("routine: refusal: path") with
// FFmpeg's reason on a line of its own, and the track is untouched. 1 when
// imported.
int LoadWithFfmpeg(Track& track, const std::string& path, std::string_view routine,
                   std::string_view refusal);
