#!/usr/bin/env bash
# The whole user story on the real program: a private X display (Xvfb), the mouse
# and keys from xdotool, SDL's disk driver as the sound card. Name track 1, import
# a WAV into it and play it; arm track 2 and record a known input between the
# markers; save, quit, start again, open the song, export it; in a later run add
# a click track and a bounce through the Track menu and undo the bounce; then check
# what was played, what the song files hold and what the export holds, sample by
# sample.
#
# usage: run_e2e.sh PROGRAM E2E_AUDIO OUT
# Screenshots of every step and the logs stay in OUT. Exits 77 (skipped) only
# when Xvfb or xdotool is missing.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: run_e2e.sh PROGRAM E2E_AUDIO OUT" >&2
  exit 2
fi
PROGRAM=$1
AUDIO=$2
OUT=$3

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "e2e: $tool is missing (scripts/setup installs it): skipped"
    exit 77
  fi
done
for tool in import sox soxi; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "e2e: $tool is missing (scripts/setup installs it)" >&2
    exit 1
  }
done

source "$(dirname "$0")/lib.sh"

rm -rf "$OUT"
mkdir -p "$OUT"
WORK=$OUT/work
APP=$OUT/app
mkdir -p "$WORK" "$APP" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
trap e2e_stop_all EXIT

# The program's own folder holds its working file: a folder of the test's, so
# no other run of the program shares it.
ln -f "$PROGRAM" "$APP/sonavel" 2>/dev/null || cp "$PROGRAM" "$APP/sonavel"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export XDG_RUNTIME_DIR=$WORK/runtime
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN=$WORK/input.raw
# Under AddressSanitizer, strict string checks flag libxkbcommon-x11's strndup of
# an unterminated X reply (legal: it reads at most n bytes) as the window opens.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0
fi
WORKING_FILES=("$APP/default.svl" "$XDG_DATA_HOME/sonavel/default.svl")

readonly SECOND=176400
readonly REGION=49568400
readonly HEADER=8000

# --- Known signals: 12 seconds to import, 20 seconds of sound card input.
"$AUDIO" signal 1 12 "$WORK/track1.raw"
sox -t raw -r 44100 -e signed -b 16 -c 2 "$WORK/track1.raw" "$WORK/drums.wav"
"$AUDIO" signal 2 20 "$WORK/input.raw"

# Panel places, in panel pixels, from the panel's own table.
places=$("$AUDIO" places)
eval "$places"
strip_y() { echo "${STRIP_Y[$1]}"; }

# Waits until the sound card has played SECONDS more (the disk driver writes in
# real time, silence or not) since the output file measured FROM bytes.
wait_played() {
  e2e_wait $(($2 / 10 + 30)) "$(($2 / 10)).$(($2 % 10)) s of output" \
    e2e_size_at_least "$SDL_DISKAUDIOFILE" $(($1 + $2 * SECOND / 10))
}

no_working_file() {
  for f in "${WORKING_FILES[@]}"; do
    [ ! -e "$f" ] || e2e_fail "the working file $f is left behind"
  done
}

e2e_start_display

# ============================== first run
export SDL_DISKAUDIOFILE=$WORK/played1.raw
e2e_log "first run"
e2e_start_program "$APP/sonavel"
e2e_wait 30 "the working file" test -e "${WORKING_FILES[0]}"
e2e_wait 10 "the title of the working song" e2e_title_is "Untitled — Sonavel 2.2"
e2e_still_shot start

# Track 1 gets a name: a press on the blank name starts at its first column.
e2e_click "$NAME_X" "$(strip_y 1)"
xdotool type --delay 20 "Drums"
e2e_still_shot named

# Import into track 1 (nothing armed): the track's region is written whole.
e2e_click "${IMPORT[@]}"
e2e_answer_dialog "Import Sound File" "$WORK/drums.wav" import-dialog
e2e_wait 30 "the import to be written" e2e_size_at_least "${WORKING_FILES[0]}" $((HEADER + REGION))

# A second window in the same folder (a double click on the launcher) says that
# the song is in use and leaves the first window's working song byte for byte.
cp "${WORKING_FILES[0]}" "$WORK/first-window.svl"
SDL_DISKAUDIOFILE=$WORK/second.raw "$APP/sonavel" >>"$OUT/program.log" 2>&1 &
second=$!
e2e_wait 60 "the second window's message" e2e_has_window "Song in use"
e2e_shot second-window
e2e_dismiss "Song in use"
kill -TERM "$second"
wait "$second" || e2e_fail "the second window ended with status $?"
cmp -s "${WORKING_FILES[0]}" "$WORK/first-window.svl" ||
  e2e_fail "the second window changed the first window's song"
e2e_find_window || e2e_fail "the first window is gone"
e2e_log "a second window left the first one's song alone"

# A second import into the same track, taken back with Ctrl+Z.
"$AUDIO" signal 3 2 "$WORK/other.raw"
sox -t raw -r 44100 -e signed -b 16 -c 2 "$WORK/other.raw" "$WORK/other.wav"
e2e_click "${IMPORT[@]}"
e2e_answer_dialog "Import Sound File" "$WORK/other.wav" second-import-dialog
e2e_wait 30 "the second import" "$AUDIO" same "${WORKING_FILES[0]}" "$HEADER" "$WORK/other.raw" 0 \
  $((2 * SECOND))
e2e_wait 10 "the window to take the keyboard" e2e_focus_is "$E2E_WINDOW"
xdotool key ctrl+z
e2e_wait 30 "Ctrl+Z to bring the first import back" \
  "$AUDIO" same "${WORKING_FILES[0]}" "$HEADER" "$WORK/track1.raw" 0 $((12 * SECOND))
e2e_log "Ctrl+Z took the second import back"
# The import switched track 1 on: it is heard at the next Play.
# Start at second 3: the sound must begin with the file's fourth second.
START_SECOND=3
e2e_click $((POSITION_X + START_SECOND)) "$POSITION_Y"
e2e_still_shot imported

before=$(e2e_size "$SDL_DISKAUDIOFILE")
e2e_click "${PLAY[@]}"
wait_played "$before" 30
e2e_shot playing
e2e_click "${STOP[@]}"

# Track 2 records between the markers at 5 and 9 pixels (5,017 and 9,032 ms),
# with its volume at 45 for the mix.
e2e_click "$ARM_X" "$(strip_y 2)"
e2e_drag "$POSITION_X" "$MARKER_Y" $((POSITION_X + 5)) "$MARKER_Y"
e2e_drag $((POSITION_X + MARKER_MAX)) "$MARKER_Y" $((POSITION_X + 9)) "$MARKER_Y"
e2e_drag $((VOLUME_X + 80)) "$(strip_y 2)" $((VOLUME_X + 45)) "$(strip_y 2)"
e2e_still_shot armed-markers
before=$(e2e_size "$SDL_DISKAUDIOFILE")
e2e_click "${PLAY[@]}"
# The run starts 3 s before the in marker, at second 2; stop past 10.5 s.
wait_played "$before" 85
e2e_shot recording
e2e_click "${STOP[@]}"
# Disarmed, track 2 is heard again; its take is on disk since the stop.
e2e_click "$ARM_X" "$(strip_y 2)"
e2e_still_shot recorded

e2e_click "${SAVE[@]}"
e2e_answer_dialog "Save As" "$WORK/story.svl" save-dialog
e2e_wait 30 "the saved song" test -e "$WORK/story.svl"
e2e_wait 30 "the working file to become the song" test ! -e "${WORKING_FILES[0]}"
e2e_wait 10 "the title to name the song" e2e_title_is "story — Sonavel 2.2"
e2e_still_shot saved
cp "$OUT/$(printf '%02d' "$E2E_SHOT")-saved.png" "$WORK/before-quit.png"
e2e_quit_program
no_working_file
e2e_log "first run ended cleanly"

# ============================== what the first run played and recorded
e2e_log "checking the played sound"
"$AUDIO" mix "$WORK/track1-heard.raw" $((12 * SECOND)) "$WORK/track1.raw:0:0:$((12 * SECOND)):80"
played=$WORK/played1.raw
check_run() { # NAME FROM_BYTE START_SECOND MIN_SECONDS_TENTHS: prints where the run's sound ended
  local start end
  start=$("$AUDIO" first-sound "$played" "$2")
  [ "$start" -ge 0 ] || e2e_fail "$1: no sound in the output after byte $2"
  end=$("$AUDIO" first-silence "$played" "$start")
  [ "$end" -ge 0 ] || end=$(e2e_size "$played")
  local length=$((end - start))
  [ "$length" -ge $(($4 * SECOND / 10)) ] || e2e_fail "$1: only $length bytes of sound"
  [ "$length" -le $(((12 - $3) * SECOND)) ] || e2e_fail "$1: $length bytes, longer than the track"
  "$AUDIO" same "$played" "$start" "$WORK/track1-heard.raw" $(($3 * SECOND)) "$length" ||
    e2e_fail "$1: the output is not track 1 at volume 80 from second $3"
  e2e_log "$1: $length bytes of track 1 from second $3, exact"
  echo "$end"
}
end=$(check_run play 0 $START_SECOND 20)
check_run "recording run" "$end" 2 70 >/dev/null

e2e_log "checking the song file"
song=$WORK/story.svl
"$AUDIO" header "$song" >"$WORK/header.txt"
expect_header() {
  grep -qxF "$1" "$WORK/header.txt" || {
    sed 's/^/  | /' "$WORK/header.txt" >&2
    e2e_fail "the song header has no line \"$1\""
  }
}
blank="                     "
expect_header "version 2"
expect_header "1 1 80 0 'Drums${blank:5}'"
expect_header "2 1 45 0 '$blank'"
for t in 3 4 5 6 7 8; do expect_header "$t 0 80 0 '$blank'"; done

# The recording started at second 2 (352,800 bytes); only the marked part,
# 884,996 to 1,593,244, is in track 2. The input file is read as a microphone
# is heard: the device puts its bytes where the playback was when they arrived,
# so the take holds the file unbroken from within a second of its byte 0.
take_start=352800
in_at=884996
out_at=1593244
track2=$((HEADER + REGION))
from=$("$AUDIO" find "$song" $((track2 + in_at)) 4096 "$WORK/input.raw")
shift=$((from - (in_at - take_start)))
[ "$from" -ge 0 ] && [ "${shift#-}" -lt "$SECOND" ] ||
  e2e_fail "track 2's take is not the input near where it began ($from)"
"$AUDIO" same "$song" $((track2 + in_at)) "$WORK/input.raw" "$from" $((out_at - in_at)) ||
  e2e_fail "track 2 does not hold the input between the markers"
e2e_log "take: the input shifted by $((shift / 4)) frames onto the playback timeline"
"$AUDIO" same "$song" "$track2" zero 0 "$in_at" || e2e_fail "track 2 is not silent before the in marker"
"$AUDIO" same "$song" $((track2 + out_at)) zero 0 $((REGION - out_at)) ||
  e2e_fail "track 2 is not silent after the out marker"
"$AUDIO" same "$song" $((HEADER + 12 * SECOND)) zero 0 $((REGION - 12 * SECOND)) ||
  e2e_fail "track 1 is not silent after the imported file"
"$AUDIO" same "$song" "$HEADER" "$WORK/track1.raw" 0 $((12 * SECOND)) ||
  e2e_fail "track 1 does not hold the imported file"
e2e_log "song file: header and both tracks exact"

# ============================== second run
export SDL_DISKAUDIOFILE=$WORK/played2.raw
e2e_log "second run"
e2e_start_program "$APP/sonavel"
e2e_wait 30 "the working file" test -e "${WORKING_FILES[0]}"
e2e_still_shot restarted
e2e_click "${OPEN[@]}"
e2e_answer_dialog Open "$song" open-dialog
# Opening another song discards the working file.
e2e_wait 30 "the song to open" test ! -e "${WORKING_FILES[0]}"
e2e_still_shot opened

# The strips show what they showed before the quit: names, speakers, volumes.
strips_of() {
  convert "$1" -crop "340x${STRIPS[1]}+$((E2E_PANEL_X + 105))+$((E2E_PANEL_Y + STRIPS[0]))" +repage "$2"
}
strips_of "$WORK/before-quit.png" "$WORK/strips-before.png"
strips_of "$OUT/$(printf '%02d' "$E2E_SHOT")-opened.png" "$WORK/strips-after.png"
differing=$(compare -metric AE "$WORK/strips-before.png" "$WORK/strips-after.png" null: 2>&1 || true)
[ "$differing" = "0" ] || e2e_fail "the reopened strips differ from the saved ones in $differing pixels"

e2e_click "${EXPORT[@]}"
e2e_answer_dialog "Export Mix" "$WORK/mix.wav" export-dialog
e2e_wait 120 "the export" e2e_size_at_least "$WORK/mix.wav" $((REGION + 44))
e2e_still_shot exported
e2e_quit_program
no_working_file
e2e_log "second run ended cleanly"

# ============================== a kill in the middle of work, and the next start
export SDL_DISKAUDIOFILE=$WORK/played3.raw
e2e_log "third run, killed"
e2e_start_program "$APP/sonavel"
e2e_wait 30 "the working file" test -e "${WORKING_FILES[0]}"
e2e_click "${IMPORT[@]}"
e2e_answer_dialog "Import Sound File" "$WORK/drums.wav" killed-import-dialog
e2e_wait 30 "the import to be written" e2e_size_at_least "${WORKING_FILES[0]}" $((HEADER + REGION))
kill -KILL "$E2E_PID"
wait "$E2E_PID" || true
E2E_PID=
e2e_start_program "$APP/sonavel"
e2e_wait 60 "the message about the kept song" e2e_has_window "Song kept"
e2e_shot song-kept
e2e_dismiss "Song kept"
kept=("$APP"/unsaved/unsaved-*.svl)
[ ${#kept[@]} -eq 1 ] || e2e_fail "${#kept[@]} songs kept after the kill, not one"
"$AUDIO" same "${kept[0]}" "$HEADER" "$WORK/track1.raw" 0 $((12 * SECOND)) ||
  e2e_fail "the kept song does not hold the import"
e2e_quit_program
no_working_file
e2e_log "the killed run's import was kept in ${kept[0]}"

# ============================== a logout while a start-up message is open
e2e_log "SIGTERM during start-up"
SDL_AUDIODRIVER=none-such "$APP/sonavel" >>"$OUT/program.log" 2>&1 &
E2E_PID=$!
e2e_wait 60 "the start-up message" e2e_has_window "Error"
e2e_quit_program
no_working_file
e2e_log "one SIGTERM ended the program during start-up"

# ============================== the Track menu: a click track, a bounce, and Undo
export SDL_DISKAUDIOFILE=$WORK/played4.raw
e2e_log "fourth run: the Track menu"
e2e_start_program "$APP/sonavel"
e2e_wait 30 "the working file" test -e "${WORKING_FILES[0]}"
working=${WORKING_FILES[0]}
e2e_click "${IMPORT[@]}"
e2e_answer_dialog "Import Sound File" "$WORK/drums.wav" tools-import-dialog
e2e_wait 30 "the import to be written" e2e_size_at_least "$working" $((HEADER + REGION))

# Chooses a menu entry by its access keys and accepts, with Return, the form
# titled TITLE that it opens, keeping a shot named SHOT of it.
menu_form() { # MENU_KEY ENTRY_KEY TITLE SHOT
  e2e_wait 10 "the window to take the keyboard" e2e_focus_is "$E2E_WINDOW"
  xdotool key "alt+$1"
  xdotool key "$2"
  e2e_wait 30 "the $3 form" e2e_has_window "$3"
  e2e_wait 10 "the $3 form to take the keyboard" e2e_focus_is "$(e2e_window_titled "$3")"
  e2e_shot "$4"
  xdotool key Return
  e2e_wait 30 "the $3 form to close" e2e_no_window "$3"
}

# Track 1 holds the drums: the click goes into track 2, at 120 beats a minute,
# a beat every 22,050 frames.
menu_form t c "Click Track" click-form
e2e_wait 60 "the click track" e2e_size_at_least "$working" $((HEADER + 2 * REGION))
track2=$((HEADER + REGION))
for beat in 0 1 2 3; do
  at=$("$AUDIO" first-sound "$working" $((track2 + beat * 88200 - (beat > 0 ? 8000 : 0))))
  [ "$at" -eq $((track2 + beat * 88200)) ] || e2e_fail "beat $beat starts at byte $((at - track2))"
done
e2e_still_shot click-track
e2e_log "a click track in track 2, its beats on their frames"

# The bounce goes into the first silent track that is not heard, track 3: the
# drums and the click at volume 80, as the export would mix them.
menu_form t b "Bounce to Track" bounce-form
"$AUDIO" mix "$WORK/bounce.raw" "$REGION" "$working:$HEADER:0:$REGION:80" \
  "$working:$track2:0:$REGION:80"
e2e_wait 120 "the bounce" "$AUDIO" same "$working" $((HEADER + 2 * REGION)) "$WORK/bounce.raw" 0 \
  "$REGION"
e2e_still_shot bounced
e2e_log "tracks 1 and 2 bounced into track 3"

e2e_wait 10 "the window to take the keyboard" e2e_focus_is "$E2E_WINDOW"
xdotool key alt+e u
e2e_wait 30 "Edit > Undo to take the bounce back" e2e_size_is "$working" $((HEADER + 2 * REGION))
e2e_still_shot bounce-undone
e2e_quit_program
no_working_file
tools_song=$(ls -t "$APP"/unsaved/unsaved-*.svl | head -n 1)
"$AUDIO" header "$tools_song" >"$WORK/header.txt"
expect_header "1 1 80 0 'drums${blank:5}'"
expect_header "2 1 80 0 'Click 120${blank:9}'"
expect_header "3 0 80 0 '$blank'"
e2e_log "Undo of the bounce brought every track back"

# ============================== the export
e2e_log "checking the export"
[ "$(soxi -r "$WORK/mix.wav")" = 44100 ] || e2e_fail "export rate $(soxi -r "$WORK/mix.wav")"
[ "$(soxi -c "$WORK/mix.wav")" = 2 ] || e2e_fail "export channels $(soxi -c "$WORK/mix.wav")"
[ "$(soxi -b "$WORK/mix.wav")" = 16 ] || e2e_fail "export bits $(soxi -b "$WORK/mix.wav")"
[ "$(soxi -s "$WORK/mix.wav")" = 12392100 ] || e2e_fail "export length $(soxi -s "$WORK/mix.wav")"
sox "$WORK/mix.wav" -t raw -e signed -b 16 -c 2 "$WORK/mix.raw"
"$AUDIO" mix "$WORK/expected-mix.raw" "$REGION" \
  "$WORK/track1.raw:0:0:$((12 * SECOND)):80" \
  "$WORK/input.raw:$from:$in_at:$((out_at - in_at)):45"
"$AUDIO" same "$WORK/mix.raw" 0 "$WORK/expected-mix.raw" 0 "$REGION" ||
  e2e_fail "the export is not the expected mix"
e2e_log "export: 281 s, exactly track 1 at 80 plus the take at 45"

echo "e2e: 1 passed, 0 failed"
