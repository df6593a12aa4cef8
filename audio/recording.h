// Capture from the default input into the work buffer, written into the armed
// track at the stop.
#pragma once

#include <cstdint>

#include "platform/wave.h"

int RecordInit();
int RecordStart();
int RecordStop();
void RecordData(WaveHeader& header);
void RecordClosed();
void RecordRelease();
