// Capture from the input into the work buffer at the timeline's offsets,
// shifted earlier by the round trip, written into the armed track at the stop.
#pragma once

#include "platform/wave.h"

int RecordInit();
int RecordStart();
int RecordStop();
void RecordRelease();
