// Exporting the mix of the whole song as a WAV or an Ogg Vorbis file.
#pragma once

#include <string>

// Renders the song and writes it to path in the format the name's last three
// characters choose ("wav" or "ogg", any case). 1 when written; a name that
// chooses no format writes nothing and renders nothing (0).
int ExportMixTo(const std::string& path);

// Renders the 281 seconds of the song, through the mixer as the transport would
// play them from 0:00, into workBuffer behind a 44-byte header area.
void RenderMix();
