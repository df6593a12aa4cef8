// What a take lacked, told to the user after the stop: how many dropouts, how
// long in all, and where the first ones are on the song's clock.
#pragma once

#include <cstdint>
#include <string>

#include "audio/capture.h"

// The dropouts of a take whose capture starts at timeline byte `captureStart`
// and that was written over [from, to), plus `missingTail` bytes at `to` that
// never arrived before the stop. Empty when there is nothing to tell.
std::string DropoutReport(int track, const CaptureDropouts& found, int32_t captureStart,
                          int32_t from, int32_t to, int32_t missingTail, bool undoable);
