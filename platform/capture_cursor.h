// How a wave input device fills its queued buffers at their place on the
// playback timeline (see platform/wave.h): the cursor keeps the place of the
// next frame, stamps every buffer with the place of its first byte, and ends a
// buffer early wherever the frames stop being contiguous, so one buffer never
// spans a gap. It takes no lock and allocates nothing: an audio callback (or
// whoever keeps the callback out) drives it.
//
// The calls that may take or hand back a buffer are given the device's side, a
// port with
//   bool Next(WaveHeader*& header)   takes the next queued buffer; false if none
//   void HandBack(WaveHeader& header) returns a buffer to the core
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/wave.h"

class CaptureCursor {
 public:
  // Capture starts with its next frame at `frame`.
  void Begin(int64_t frame) {
    place = frame;
    pendingDropout = 0;
  }
  int64_t Place() const { return place; }

  // Where up to `frames` next frames go, in the buffer being filled (taking the
  // next queued one when there is none); empty when no buffer is queued.
  template <typename Port>
  std::span<uint8_t> Room(uint32_t frames, Port&& port) {
    for (;;) {
      if (filling == nullptr) {
        if (!port.Next(filling)) {
          filling = nullptr;
          return {};
        }
        filling->bytesRecorded = 0;
        filling->dropoutFrames = 0;
      }
      const uint32_t free = (filling->bufferLength - filling->bytesRecorded) / 4;
      if (free != 0) {
        return {filling->data + filling->bytesRecorded, size_t{std::min(free, frames)} * 4};
      }
      HandBackFilling(port);  // too small to hold a frame
    }
  }

  // `frames` were written at the front of the room.
  template <typename Port>
  void Advance(uint32_t frames, Port&& port) {
    if (frames == 0) return;
    if (filling->bytesRecorded == 0) {
      filling->timelineFrame = place;
      filling->dropoutFrames = pendingDropout;
      pendingDropout = 0;
    }
    filling->bytesRecorded += frames * 4;
    place += frames;
    // A last partial frame stays empty: the format has none.
    if (filling->bufferLength - filling->bytesRecorded < 4) HandBackFilling(port);
  }

  // Copies whole frames (silence when `bytes` is null) at the place; what finds
  // no buffer is lost. Returns the frames stored.
  template <typename Port>
  uint32_t Store(const uint8_t* bytes, uint32_t frames, Port&& port) {
    uint32_t done = 0;
    while (done < frames) {
      const std::span<uint8_t> room = Room(frames - done, port);
      if (room.empty()) {
        Lose(frames - done, port);
        break;
      }
      if (bytes != nullptr) {
        std::memcpy(room.data(), bytes + size_t{done} * 4, room.size());
      } else {
        std::fill(room.begin(), room.end(), uint8_t{0});
      }
      const auto n = static_cast<uint32_t>(room.size() / 4);
      Advance(n, port);
      done += n;
    }
    return done;
  }

  // Frames that will never arrive (no buffer was queued, the device dropped
  // them): their place stays empty, and the next frame starts a buffer of its
  // own at its own place.
  template <typename Port>
  void Lose(uint32_t frames, Port&& port) {
    if (frames == 0) return;
    place += frames;
    EndBuffer(port);
  }

  // An interruption the place does not show: told on the buffer of the next
  // frame stored, which starts afresh. Never told when nothing follows it (a
  // run that ends).
  template <typename Port>
  void Dropout(uint32_t frames, Port&& port) {
    if (frames == 0) return;
    pendingDropout += frames;
    EndBuffer(port);
  }

  // For a reset or a close: hands back the buffer being filled, its count
  // final, then every one still queued, in queue order.
  template <typename Port>
  void HandBackAll(Port&& port) {
    pendingDropout = 0;
    if (filling != nullptr) HandBackFilling(port);
    WaveHeader* next = nullptr;
    while (port.Next(next)) port.HandBack(*next);
  }

 private:
  template <typename Port>
  void EndBuffer(Port& port) {
    if (filling != nullptr && filling->bytesRecorded != 0) HandBackFilling(port);
  }
  template <typename Port>
  void HandBackFilling(Port& port) {
    WaveHeader* header = filling;
    filling = nullptr;
    port.HandBack(*header);
  }

  WaveHeader* filling = nullptr;
  int64_t place = 0;
  uint32_t pendingDropout = 0;
};
