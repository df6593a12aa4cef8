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
// A sound device went away during a run or a measurement: it stops there and
// the user is told (a take keeps what was captured).
void OnSoundDeviceLost();
