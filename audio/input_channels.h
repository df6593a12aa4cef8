// Which of the input's channels a take keeps: a mono microphone on one side of
// a stereo interface is heard in both channels of the take.
#pragma once

#include <cstdint>

enum class InputChannels { Stereo, Left, Right };

void SetInputChannels(InputChannels channels);
InputChannels InputChannelsChosen();

// Copies the chosen channel of each whole frame of 16-bit stereo into the
// other; a trailing part of a frame is left alone. Stereo changes nothing.
void KeepInputChannels(uint8_t* frames, int64_t bytes);
