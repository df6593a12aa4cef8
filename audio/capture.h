// Capture from the input device into memory, one device at a time: every
// returned buffer is copied into a target block at its own place on the
// playback timeline and queued again, until the block is full or the capture is
// ended. Whatever no buffer covered stays as it was (silence in a fresh block)
// and is a dropout at that place, as is an interruption a device tells of. A
// take and the latency measurement both capture through here, so they place
// input alike.
#pragma once

#include <cstdint>

#include "platform/wave.h"

enum class CaptureOpened { Yes, NoMemory, NoDevice };

// Allocates the capture buffers, opens the input device and queues them. The
// caller starts the device right before its first output write. Timeline frame
// 0 goes to target[first]; bytes that belong before the target's start (a
// negative first) are dropped. A null target counts the bytes without keeping
// them.
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

// Where the capture lacked input, in target offsets, in order; neighbours a
// moment apart are one. The first kKept are kept; count and bytes take in all.
struct CaptureDropouts {
  static constexpr int kKept = 32;
  struct Dropout {
    int64_t at = 0;
    int64_t bytes = 0;
  };
  Dropout kept[kKept];
  int count = 0;
  int64_t bytes = 0;
  // Of those bytes, the ones told without a gap: the song stood still (the
  // output ran dry, the server skipped cycles) while the clock went on.
  int64_t stalledBytes = 0;
};
// Those of the current (or last) capture.
const CaptureDropouts& CaptureDropoutsFound();
