// The user's side of the transport: buttons, position bar, markers, timer tick
// and the command buttons.
#pragma once

extern int meterPhase;

void OnPlay();
void OnStop();
void OnPause();
void OnNew();
void OnOpen();
void OnSave();
void OnHelp();
void OnImport();
void OnExport();
void OnBanner();
void OnPositionDrag();
void OnInMarkerDrag();
void OnOutMarkerDrag();

void TimerTick();
int StopToStart();
int EnsureAudibleTrack();
void ShowPosition();
void ShowMarkers();
// The down-pointing triangle of a marker at pixel p, over the bar as it stands.
void DrawMarkerTriangle(int p);
int SetInMarkerNow();
int SetOutMarkerNow();
