// The user's settings, kept between runs in $XDG_CONFIG_HOME/sonavel/sonavel.conf
// (by default ~/.config/sonavel/): one "key=value" line each. A missing or
// damaged file reads as no settings at all; the program works without one.
#pragma once

#include <string>
#include <string_view>

std::string SettingsPath();

// The value stored for key, or fallback when there is none.
std::string ReadSetting(std::string_view key, std::string_view fallback = {});

// Stores key=value, keeping every other line; 1 once the file is replaced on
// disk, 0 when it could not be written (the old file is then untouched). Keys
// and values are single lines: a line break is refused.
int WriteSetting(std::string_view key, std::string_view value);

// Removes key's line, keeping every other; 1 once it is gone from the file (or
// was never there), 0 when the file could not be written.
int RemoveSetting(std::string_view key);

// `text` made fit to be part of a key, whatever it holds (a device's name):
// '%', '=' and control characters become %XX, so different texts give
// different keys and each key stays on its line.
std::string SettingKeyPart(std::string_view text);
