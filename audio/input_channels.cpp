#include "audio/input_channels.h"

#include <cstring>

namespace {

InputChannels chosen = InputChannels::Stereo;

}  // namespace

void SetInputChannels(InputChannels channels) {
  chosen = channels;
}

InputChannels InputChannelsChosen() {
  return chosen;
}

void KeepInputChannels(uint8_t* frames, int64_t bytes) {
  if (chosen == InputChannels::Stereo || frames == nullptr) return;
  // Byte offsets within a frame: left sample first, then right.
  const int from = chosen == InputChannels::Left ? 0 : 2;
  const int to = 2 - from;
  for (int64_t at = 0; at + 4 <= bytes; at += 4) {
    std::memcpy(frames + at + to, frames + at + from, 2);
  }
}
