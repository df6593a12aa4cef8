// The Track menu's commands: each stops a running transport, asks in a small
// form what to do and calls the operation with the answers.
#pragma once

// Asks tempo, beats per bar, track (the first that holds no audio) and level,
// then writes the click into that track.
void ClickTrackCommand();
// Asks which track to bounce into (only tracks that are not heard are offered,
// the first that holds no audio chosen), then bounces every track heard into it.
void BounceCommand();
