// Measuring the round trip: noise bursts played through the output while the
// input records them, each in a run of its own as a take would be, each
// burst's delay found by correlation. When they agree, their median is shown
// to the user and kept for the takes that follow on this sound path; when they
// do not, the path was not steady and nothing is kept. Runs like a transport
// run, on the device notices and the timer; nothing waits.
#pragma once

#include <cstdint>

// Starts a measurement; the transport must be stopped. Does nothing while one
// is running.
void MeasureLatency();
bool MeasuringLatency();

// After every input notice: a complete recording ends a burst's run.
void LatencyProgress();
// On every timer tick: an input that brings nothing ends it too.
void LatencyTick();

// Ends a measurement without a result: the devices are needed elsewhere, or a
// command holding the thread would leave a gap in the recording.
void LatencyCancel();

// The noise the bursts are cut from, the same on both channels: each burst
// plays it at frames of its own, so no burst matches another's echo.
int16_t TestSignalSample(uint32_t frame);
