// The eight track strips: speaker, arm, effect, volume and meter.
#pragma once

// A plain press switches the track; with Ctrl held it solos the track, or ends
// its solo.
void OnSpeaker();
void OnArm();
void OnEffect();
void OnVolumeDrag();
void ShowSpeaker(int t);
void ShowVolume(int t);
void ShowEffect(int t);
void ShowMeter(int t);
// The next song starts with no solo to undo.
void ForgetSolo();
