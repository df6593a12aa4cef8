// The eight track strips: speaker, arm, effect, volume and meter.
#pragma once

void OnSpeaker();
void OnArm();
void OnEffect();
void OnVolumeDrag();
void ShowSpeaker(int t);
void ShowVolume(int t);
void ShowEffect(int t);
void ShowMeter(int t);
