#!/usr/bin/env bash
# Takes the README's pictures of the running program under Xvfb: at start, a
# session set up (tracks on, one armed, volumes apart, effects on, markers set,
# names typed), a recording under way, and an export with its progress bar half
# way. Run by hand after the artwork changes; not a test.
#
# usage: screenshots.sh PROGRAM E2E_AUDIO DOCS_FOLDER
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: screenshots.sh PROGRAM E2E_AUDIO DOCS_FOLDER" >&2
  exit 2
fi
PROGRAM=$1
AUDIO=$2
DOCS=$3
OUT=$(mktemp -d)
source "$(dirname "$0")/lib.sh"
trap 'e2e_stop_all; rm -rf "$OUT"' EXIT
mkdir -p "$DOCS" "$OUT/app" "$OUT/home" "$OUT/runtime"
chmod 700 "$OUT/runtime"
ln -f "$PROGRAM" "$OUT/app/sonavel" 2>/dev/null || cp "$PROGRAM" "$OUT/app/sonavel"
export HOME=$OUT/home XDG_RUNTIME_DIR=$OUT/runtime
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$OUT/played.raw SDL_DISKAUDIOFILEIN=$OUT/input.raw

# Loops of different loudness and movement, so the meters tell the tracks apart.
tone() { sox -n -r 44100 -c 2 -b 16 "$OUT/$1" synth 4 "${@:2}"; }
tone loop_drums.wav pinknoise tremolo 2 90 vol 0.7
tone loop_bass.wav sine 55 tremolo 1 40 vol 0.9
tone loop_guitar.wav sine 330 tremolo 3 70 vol 0.5
tone loop_keys.wav sine 523 vol 0.25
"$AUDIO" signal 3 120 "$OUT/input.raw"

# Panel places, in panel pixels, from the panel's own table.
places=$("$AUDIO" places)
eval "$places"
strip_y() { echo "${STRIP_Y[$1]}"; }

# A picture of the window, or of the panel alone (during a render the menu bar
# is not repainted, and shows what lay over it).
keep() {
  local geometry=$E2E_WINDOW_GEOMETRY
  [ "${2:-}" = panel ] && geometry=${PANEL[0]}x${PANEL[1]}+$E2E_PANEL_X+$E2E_PANEL_Y
  import -window root -crop "$geometry" +repage "$DOCS/$1"
  e2e_log "kept $DOCS/$1"
}

# Imports name their tracks after the files: the typed name replaces that one.
name_track() {
  e2e_click "$NAME_X" "$(strip_y "$1")"
  xdotool key --delay 5 --repeat 21 Delete
  xdotool type --delay 20 "$2"
}

set_volume() {
  local y
  y=$(strip_y "$1")
  e2e_drag $((VOLUME_X + 80)) "$y" $((VOLUME_X + $2)) "$y"
}

import_into() { # TRACK FILE: arming chooses the track, disarming switches it on
  e2e_click "$ARM_X" "$(strip_y "$1")"
  e2e_click "${IMPORT[@]}"
  e2e_answer_dialog "Import Sound File" "$OUT/$2" "import-$1"
  e2e_click "$ARM_X" "$(strip_y "$1")"
}

# How many columns of the progress bar are lit (its full image is orange: red, little blue).
bar_fill() {
  import -window root -crop "${PROGRESS[2]}x1+$((E2E_PANEL_X + PROGRESS[0]))+$((E2E_PANEL_Y + PROGRESS[1]))" +repage \
    -depth 8 txt:- 2>/dev/null | awk -F'[(,]' 'NR > 1 && $3 + 0 > 96 && $5 + 0 < 80 { n++ } END { print n + 0 }'
}

# Exports and freezes the program (SIGSTOP) at short steps until the bar is
# about half way; true when a picture was kept.
export_half_way() {
  e2e_click "${EXPORT[@]}"
  e2e_wait 30 "the export dialog" e2e_has_window "Export Mix"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 5 "$OUT/mix$1.wav"
  xdotool key Return
  local fill=0 kept=1 deadline=$((SECONDS + 60)) fills=
  while [ "$SECONDS" -lt "$deadline" ]; do
    kill -STOP "$E2E_PID"
    fill=$(bar_fill)
    fills="$fills $fill"
    if [ "$fill" -ge 66 ] && [ "$fill" -le 86 ]; then
      keep screenshot-export.png panel
      kept=0
    fi
    kill -CONT "$E2E_PID"
    [ "$kept" -eq 0 ] || [ "$fill" -gt 86 ] && break
    sleep 0.01
  done
  e2e_wait 60 "the export file" e2e_size_at_least "$OUT/mix$1.wav" 49568444
  e2e_settle
  [ "$kept" -eq 0 ] || e2e_log "export $1: the bar went by at$fills columns"
  return "$kept"
}

e2e_start_display
e2e_start_program "$OUT/app/sonavel"
e2e_wait 30 "the working file" test -e "$OUT/app/default.svl"
e2e_settle
keep screenshot-start.png

e2e_click "${IMPORT[@]}"
e2e_answer_dialog "Import Sound File" "$OUT/loop_drums.wav" import-1
e2e_click "$SPEAKER_X" "$(strip_y 1)"
import_into 3 loop_bass.wav
import_into 4 loop_guitar.wav
import_into 5 loop_keys.wav
name_track 1 "Drums"
name_track 2 "Lead vocal"
name_track 3 "Bass"
name_track 4 "Guitar"
name_track 5 "Keys"
name_track 6 "Tambourine"
set_volume 2 65
set_volume 3 70
set_volume 4 52
set_volume 5 38
e2e_click "$EFFECT_X" "$(strip_y 4)"
e2e_click "$EFFECT_X" "$(strip_y 5)"
e2e_click "$ARM_X" "$(strip_y 2)"
e2e_drag "$POSITION_X" "$MARKER_Y" $((POSITION_X + 60)) "$MARKER_Y"
e2e_drag $((POSITION_X + MARKER_MAX)) "$MARKER_Y" $((POSITION_X + 150)) "$MARKER_Y"
e2e_settle
keep screenshot-tracks.png

# Recording into track 2 from three seconds before the in marker.
e2e_click "${PLAY[@]}"
e2e_wait 30 "the recording to run a while" e2e_size_at_least "$SDL_DISKAUDIOFILE" \
  $(($(e2e_size "$SDL_DISKAUDIOFILE") + 5 * 176400))
kill -STOP "$E2E_PID"
keep screenshot-recording.png
kill -CONT "$E2E_PID"
e2e_click "${STOP[@]}"
e2e_settle
# Frozen for the picture, the program missed input and says so after the stop.
if e2e_has_window Recording; then e2e_dismiss Recording; fi

tries=1
until export_half_way "$tries"; do
  tries=$((tries + 1))
  [ "$tries" -le 5 ] || {
    e2e_log "the progress bar was never caught half way in 5 exports"
    exit 1
  }
done
e2e_quit_program
e2e_log "done"
