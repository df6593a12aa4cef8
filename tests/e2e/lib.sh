# shellcheck shell=bash
# What the end-to-end scripts share: a private X display, the program started and
# ended like a person would, clicks at panel coordinates, dialogs answered by
# typing, and waits that poll with a deadline instead of sleeping.
# Sourced by run_e2e.sh and screenshots.sh; needs OUT (a folder for logs and
# screenshots) to be set.

E2E_WINDOW=
E2E_PID=
E2E_PANEL_X=0
E2E_PANEL_Y=0
E2E_WINDOW_GEOMETRY=
E2E_XVFB_PID=
E2E_SHOT=0

e2e_log() {
  printf '%s e2e: %s\n' "$(date +%T.%3N)" "$*" >&2
}

e2e_fail() {
  e2e_log "FAILED: $*"
  e2e_display_alive || true
  e2e_shot failure || true
  if [ -s "$OUT/program.log" ]; then
    e2e_log "program output so far:"
    sed 's/^/  | /' "$OUT/program.log" >&2
  fi
  e2e_log "windows on the display:"
  xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
    printf '  | %s %s\n' "$w" "$(xdotool getwindowname "$w" 2>/dev/null)" >&2
  done
  e2e_log "screenshots kept in $OUT"
  exit 1
}

# Polls COMMAND until it succeeds, for at most SECONDS; fails with WHAT.
e2e_wait() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    e2e_display_alive || e2e_fail "the X display died while waiting for $what"
    if [ "$SECONDS" -ge "$deadline" ]; then
      e2e_fail "waited ${seconds}s for $what"
    fi
    sleep 0.1
  done
}

e2e_start_display() {
  local number_file="$OUT/display"
  : >"$number_file"
  # Xvfb picks a free display number itself, so parallel runs never collide.
  # -noreset: the server would otherwise reset when its last client goes (the
  # killed program), and a program started then finds no display.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number_file" \
    >"$OUT/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  e2e_wait 30 "Xvfb to start" e2e_display_ready "$number_file"
  DISPLAY=":$(tr -dc 0-9 <"$number_file")"
  export DISPLAY QT_QPA_PLATFORM=xcb
  e2e_log "display $DISPLAY"
}

# False, once, after saying so with the server's log, when Xvfb has ended: a
# failure after that is the display's, not the program's.
e2e_display_alive() {
  [ -z "$E2E_XVFB_PID" ] || kill -0 "$E2E_XVFB_PID" 2>/dev/null && return 0
  e2e_log "the X display (Xvfb, pid $E2E_XVFB_PID) has ended; its log:"
  sed 's/^/  | /' "$OUT/xvfb.log" >&2
  E2E_XVFB_PID=
  return 1
}

e2e_display_ready() {
  if ! kill -0 "$E2E_XVFB_PID" 2>/dev/null; then
    sed 's/^/  | /' "$OUT/xvfb.log" >&2
    E2E_XVFB_PID=
    e2e_fail "Xvfb ended at start"
  fi
  grep -q '[0-9]' "$1"
}

e2e_stop_all() {
  if [ -n "$E2E_PID" ] && kill -0 "$E2E_PID" 2>/dev/null; then
    kill -KILL "$E2E_PID" 2>/dev/null || true
    wait "$E2E_PID" 2>/dev/null || true
  fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  fi
}

# Keeps a picture of the whole screen as OUT/NN-NAME.png.
e2e_shot() {
  E2E_SHOT=$((E2E_SHOT + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$OUT" "$E2E_SHOT" "$1")
  import -window root "$file" 2>/dev/null || e2e_log "no screenshot $file"
}

# Waits until the window's picture stops changing (two grabs alike), so a shot
# taken while the transport is stopped shows the state after the last click.
e2e_settle() {
  local a="$OUT/.settle-a.rgb" b="$OUT/.settle-b.rgb" deadline=$((SECONDS + 20))
  e2e_grab_window "$a" || return 0
  while sleep 0.2; do
    e2e_grab_window "$b" || return 0
    cmp -s "$a" "$b" && break
    [ "$SECONDS" -lt "$deadline" ] || {
      e2e_log "the window kept changing for 20s"
      break
    }
    mv "$b" "$a"
  done
  rm -f "$a" "$b"
}

# The window's picture, from the screen (a grab of the window itself comes out
# black on Xvfb); FILE's extension chooses the format.
e2e_grab_window() {
  import -window root -crop "$E2E_WINDOW_GEOMETRY" +repage "$1" 2>/dev/null
}

# e2e_shot after e2e_settle.
e2e_still_shot() {
  e2e_settle
  e2e_shot "$1"
}

# Whether the main window's title is exactly $1.
e2e_title_is() {
  [ "$(xdotool getwindowname "$E2E_WINDOW" 2>/dev/null)" = "$1" ]
}

# The main window: its title ends with the program's name and version, after the
# song's name ("Untitled — Sonavel 2.2").
e2e_find_window() {
  E2E_WINDOW=$(xdotool search --onlyvisible --name 'Sonavel [0-9.]+$' 2>/dev/null | head -n 1)
  [ -n "$E2E_WINDOW" ]
}

# Starts PROGRAM with the environment already exported and waits for its window.
e2e_start_program() {
  local program=$1
  "$program" >>"$OUT/program.log" 2>&1 &
  E2E_PID=$!
  e2e_wait 60 "the Sonavel window" e2e_find_window_or_exit
  e2e_locate_panel
}

e2e_find_window_or_exit() {
  if ! kill -0 "$E2E_PID" 2>/dev/null; then
    wait "$E2E_PID"
    local status=$?
    E2E_PID=
    e2e_display_alive || e2e_fail "the X display died before the program started"
    e2e_fail "the program ended at start with status $status"
  fi
  e2e_find_window
}

# The panel fills the window below the menu bar: its origin is the window's
# bottom-left corner less the panel's height, whatever the menu bar measures.
e2e_locate_panel() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW")"
  [ "$WIDTH" -eq 514 ] || e2e_fail "window is $WIDTH pixels wide, not 514"
  [ "$HEIGHT" -gt 371 ] || e2e_fail "window is $HEIGHT pixels high, no room for a menu"
  E2E_PANEL_X=$X
  E2E_WINDOW_GEOMETRY=${WIDTH}x$HEIGHT+$X+$Y
  E2E_PANEL_Y=$((Y + HEIGHT - 371))
  e2e_log "window $E2E_WINDOW at $X,$Y ${WIDTH}x$HEIGHT, panel at $E2E_PANEL_X,$E2E_PANEL_Y"
}

# Mouse actions at panel coordinates.
e2e_move() {
  xdotool mousemove "$((E2E_PANEL_X + $1))" "$((E2E_PANEL_Y + $2))"
}

e2e_click() {
  e2e_move "$1" "$2"
  xdotool click 1
}

e2e_drag() {
  e2e_move "$1" "$2"
  xdotool mousedown 1
  e2e_move "$(($1 + ($3 - $1) / 2))" "$4"
  e2e_move "$3" "$4"
  xdotool mouseup 1
}

# Window of a visible top level titled exactly TITLE (Qt's dialogs and boxes).
e2e_window_titled() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

e2e_has_window() {
  [ -n "$(e2e_window_titled "$1")" ]
}

e2e_no_window() {
  [ -z "$(e2e_window_titled "$1")" ]
}

# Answers Qt's file dialog titled TITLE with PATH, keeping a shot named SHOT of
# the typed answer. The name field has the focus when the dialog opens; whatever
# it holds is replaced by the typed path.
e2e_answer_dialog() {
  local title=$1 path=$2
  e2e_wait 30 "the $title dialog" e2e_has_window "$title"
  local dialog
  dialog=$(e2e_window_titled "$title")
  e2e_wait 10 "the $title dialog to take the keyboard" e2e_focus_is "$dialog"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 5 "$path"
  e2e_shot "$3"
  # The completer's list may be open over the field: Escape would close the
  # dialog, Return both closes the list and accepts.
  xdotool key Return
  e2e_wait 30 "the $title dialog to close" e2e_no_window "$title"
}

# Closes the message box titled TITLE with Return, as a person would.
e2e_dismiss() {
  e2e_wait 30 "the $1 message" e2e_has_window "$1"
  e2e_wait 10 "the $1 message to take the keyboard" e2e_focus_is "$(e2e_window_titled "$1")"
  xdotool key Return
  e2e_wait 30 "the $1 message to close" e2e_no_window "$1"
}

e2e_focus_is() {
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] || {
    xdotool windowfocus "$1" 2>/dev/null
    false
  }
}

# Asks the program to end as a desktop session would, and waits for it.
e2e_quit_program() {
  kill -TERM "$E2E_PID"
  local deadline=$((SECONDS + 60))
  while kill -0 "$E2E_PID" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "the program did not end within 60s of SIGTERM"
    sleep 0.1
  done
  local status=0
  wait "$E2E_PID" || status=$?
  E2E_PID=
  [ "$status" -eq 0 ] || e2e_fail "the program ended with status $status"
}

e2e_size() {
  stat -c %s "$1" 2>/dev/null || echo 0
}

e2e_size_at_least() {
  [ "$(e2e_size "$1")" -ge "$2" ]
}

# For e2e_wait: the size is read again at every try.
e2e_size_is() {
  [ "$(e2e_size "$1")" -eq "$2" ]
}
