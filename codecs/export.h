// Exporting the mix of the whole song as a WAV, Ogg Vorbis, FLAC or MP3 file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class ExportFormat { None, Wav, Ogg, Flac, Mp3 };

// The format a name's extension chooses, in any case: "wav", "ogg", "flac" or
// "mp3" at its end, with a character at least in front. No dot is needed
// ("SONG.WAV" and "songwav" are both WAV files), as the first exports had it.
ExportFormat ExportFormatOf(std::string_view name);

// What of the rendered mix an export writes: all 281 seconds; the same ended at
// the last sample that is not silent; or the stretch from the in marker to the
// out marker.
enum class ExportSpan { Whole, TrimmedEnd, BetweenMarkers };

// Renders the song and writes the span of it to path in the format its name
// chooses. An encoder runs on a thread of its own beside the mixer, reading each
// second once it is mixed; one that fails stops the mixing. 1 when written; a name that chooses no
// format writes nothing and renders nothing (0), as do markers with nothing between them (after a
// message).
int ExportMixTo(const std::string& path, ExportSpan span = ExportSpan::Whole);

// Renders the 281 seconds of the song, through the mixer as the transport would
// play them from 0:00, into workBuffer behind a 44-byte header area.
void RenderMix();
// The same in two steps: the mix set to start at 0:00 (an empty room, every loop
// at its start), then the seconds rendered, `mixed` told after each how many are
// in workBuffer; it stops early when that returns false.
void RenderMixStart();
void RenderMixSeconds(const std::function<bool(int seconds)>& mixed);

// Writes n bytes of the tracks' PCM (with 44 writable bytes in front of it) as a
// file of the format; 1 when written, 0 after a message.
int WriteAudioFile(ExportFormat format, const std::string& path, uint8_t* pcm, uint32_t n);
