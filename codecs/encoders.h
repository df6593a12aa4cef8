// The mix, or a track, written as FLAC or MP3. Both are encoded in memory and the
// file is written whole, as the Ogg Vorbis export is: a failure leaves no file.
// The Encode functions only encode (any thread may run them); `most` bounds the
// bytes the feed may bring, for the room the output is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/encode_feed.h"

// Writes n bytes of 44,100 Hz 16-bit stereo PCM as a 16-bit FLAC file holding the
// same samples. 1 when written; 0 after a message, with no file left behind.
int WriteFlacFile(const std::string& path, const uint8_t* pcm, uint32_t n);

// The same PCM as MP3: VBR quality 2 at 44,100 Hz, with the LAME tag that tells
// players the encoder's delay and padding (so they play exactly the n bytes), and
// an ID3v2 tag holding the title.
int WriteMp3File(const std::string& path, const uint8_t* pcm, uint32_t n, std::string_view title);

Encoded EncodeFlac(PcmFeed& feed, uint32_t most);
Encoded EncodeMp3(PcmFeed& feed, uint32_t most, std::string_view title);
