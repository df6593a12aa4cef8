// The command buttons: each stops a running transport, stays lit while its
// command runs, asks for a name where the command needs one and calls the
// operation on that name.
#pragma once

#include <string>

// The names the save and export dialogs start with: the ones chosen last in this
// run, each dialog its own (the two mix exports share one).
extern std::string saveName;
extern std::string exportName;
extern std::string tracksFolder;

// The commands behind the buttons: each asks for a name and, unless the dialog
// is cancelled, calls the operation on it.
void OpenSong();
void SaveSongAs();
// Into the armed track, or track 1 when none is armed.
void ImportSoundFile();
// The whole mix, or with "Trim silence at the end" ticked (the choice is kept in
// the settings) the mix up to its last sound.
void ExportMix();
// The mix from the in marker to the out marker.
void ExportBetweenMarkers();
// Each track that holds audio into a folder, as WAV or (ticked, and kept) FLAC.
void ExportTracks();

// Undo and Redo of the last take or import; a running transport is stopped
// first, as the buttons do.
void UndoLastChange();
void RedoLastChange();
// Measures the round trip from the output to the input (the device notices
// finish it); a running transport is stopped first.
void MeasureLatencyCommand();
// A file dropped on the panel at (x, y): a song file (".svl") is opened as Open
// does; any other file is imported as Import does, into the track whose strip it
// was dropped on, elsewhere into the track Import would take. Refused with a beep
// while the transport runs.
void DropFile(const std::string& path, int x, int y);

void OnNew();
void OnOpen();
void OnSave();
void OnHelp();
void OnImport();
void OnExport();
// The menu's two other exports, run as the Export button runs its command.
void OnExportBetweenMarkers();
void OnExportTracks();
void OnBanner();
