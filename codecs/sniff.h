// What kind of sound file some bytes begin, told by their content alone: names
// lie (".oga", "take" with no extension, a WAV saved as ".mp3"), content does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

enum class SoundKind {
  Unknown,
  Wav,   // RIFF, RIFX or RF64 with the WAVE form
  Aiff,  // AIFF and AIFC
  Caf,   // Core Audio Format
  Flac,
  OggVorbis,
  OggOpus,
  OggFlac,
  Mp3,  // any MPEG audio layer, with or without ID3v2 tags in front
};

// Enough of a file's start for every kind to show, ID3v2 tags of ordinary size
// included; a larger tag is looked behind with a second read (Id3v2TagBytes).
constexpr size_t kSniffBytes = 64 * 1024;

// The kind the bytes from the start of a file say it is. An ID3v2 tag that runs
// past the bytes given counts as an MP3's: it is what such tags head.
SoundKind SniffSound(std::span<const uint8_t> head);

// Length of the ID3v2 tag the bytes begin with (header, body and footer), 0 when
// they begin none. It may pass the end of the bytes: cover pictures make tags of
// megabytes.
uint64_t Id3v2TagBytes(std::span<const uint8_t> head);

// The kind of a file that begins with an ID3v2 tag, from its bytes at the start
// of a tag or right behind one: FLAC when a FLAC stream follows the tags, else MP3.
SoundKind KindBehindTag(std::span<const uint8_t> afterTag);
