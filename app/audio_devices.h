// The sound devices the user chose from the Audio menu, kept in the settings
// between runs: "System default" or a device by the name the sound system
// gives it.
#pragma once

#include <cstdint>

#include "app/menu_choices.h"

// Tells the wave devices the stored choices; before they first open.
void ApplyDeviceSettings();

// "System default" and the devices' names, the stored choice marked; no items
// when the devices take no choice (JACK routes by its connections).
MenuChoices OutputDeviceChoices();
MenuChoices InputDeviceChoices();

// Keeps the choice and makes it take effect at once: a running transport stops
// first (as for every command), the output opens again on the new device, and
// the next recording opens the new input.
void ChooseOutputDevice(intptr_t item);
void ChooseInputDevice(intptr_t item);

// Stereo, Left only or Right only: what a take keeps of the input, kept in the
// settings beside the input device; the next take uses the new choice.
MenuChoices InputChannelChoices();
void ChooseInputChannels(intptr_t item);
