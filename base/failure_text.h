// How a failure is told: the message's first line as it has always read, then
// the file concerned and the system's reason on a line of their own
// ("WriteWavFile - failed\n/home/me/mix.wav: Permission denied"), so a read-only
// folder, a full disk and a missing device no longer read the same.
#pragma once

#include <string>
#include <string_view>

std::string FailureText(std::string_view first, std::string_view path, int error);
// The same with a reason in words, where a library gave one.
std::string FailureText(std::string_view first, std::string_view path, std::string_view reason);
