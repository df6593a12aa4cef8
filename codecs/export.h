// Exporting the mix of the whole song as a WAV or an Ogg Vorbis file.
#pragma once

#include <string>

// The name chosen at the last export; the next export's dialog starts with it.
extern std::string exportName;

// The export command: asks for a file name, renders the song and writes it in the
// format its name's last three characters choose ("wav" or "ogg", any case). A
// name that chooses no format writes nothing and renders nothing.
void ExportMix();

// Renders the 281 seconds of the song, through the mixer as the transport would
// play them from 0:00, into workBuffer behind a 44-byte header area.
void RenderMix();
