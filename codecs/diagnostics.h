// What the coders find on their way (stream comments, clipped samples, damaged
// pages, FFmpeg's log) is for whoever debugs an import, not for users: it goes to
// standard error only when SONAVEL_DEBUG=1.
#pragma once

// True when SONAVEL_DEBUG is 1 in the environment.
bool DiagnosticsWanted();

// printf to standard error, when diagnostics are wanted.
void Diagnose(const char* format, ...) __attribute__((format(printf, 1, 2)));
