// Measuring the round trip: a noise burst played through the output while the
// input records it, as a take would, the delay found by correlation, shown to
// the user and kept for the takes that follow. Runs like a transport run, on
// the device notices and the timer; nothing waits.
#pragma once

#include <cstdint>

// Frames of the test signal's noise burst, and of what is listened to.
constexpr uint32_t kTestSignalFrames = 44100;
constexpr uint32_t kListenFrames = 2 * 44100;

// Starts a measurement; the transport must be stopped. Does nothing while one
// is running.
void MeasureLatency();
bool MeasuringLatency();

// After every input notice: a complete recording ends the measurement.
void LatencyProgress();
// On every timer tick: an input that brings nothing ends it too.
void LatencyTick();

// Ends a measurement without a result: the devices are needed elsewhere, or a
// command holding the thread would leave a gap in the recording.
void LatencyCancel();

// The burst's samples, the same on both channels.
int16_t TestSignalSample(uint32_t frame);
