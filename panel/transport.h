// The user's side of the transport: buttons, position bar, markers and the
// timer tick.
#pragma once

void OnPlay();
void OnStop();
void OnPause();
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
// Loop between the markers, as kept in the settings: read at start-up, and
// turned on or off (kept for the next run) by the menu and the key L. A run
// already going goes on as it started.
void ApplyLoopSetting();
void ToggleLoopBetweenMarkers();
// A sound device went away during a run or a measurement: it stops there and
// the user is told (a take keeps what was captured).
void OnSoundDeviceLost();
