// Capture from the input device into memory, one device at a time: every
// returned buffer is copied behind the last one into a target block and queued
// again, until the block is full or the capture is ended. A take and the
// latency measurement both capture through here, so they place input alike.
#pragma once

#include <cstdint>

#include "platform/wave.h"

enum class CaptureOpened { Yes, NoMemory, NoDevice };

// Allocates the capture buffers, opens the input device and queues them. The
// caller starts the device right before its first output write. The first
// captured byte goes to target[first]; a negative first drops that many bytes
// before storing. A null target counts the bytes without keeping them.
CaptureOpened CaptureOpen(uint8_t* target, int64_t size, int64_t first);

// The input notices, as WaveMessage hands them on.
void CaptureData(WaveHeader& header);
void CaptureClosed();

// From the open until CaptureEnd.
bool CaptureActive();
// The target is full (or the device went away): nothing more will be stored.
bool CaptureOver();

// Stops the device, stores what it still held, closes it and releases the
// buffers before returning, so no later notice belongs to this capture.
// Returns the target offset behind the last byte captured.
int64_t CaptureEnd();

// Forgets everything without storing: start-up and shut-down.
void CaptureRelease();
