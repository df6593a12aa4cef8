#!/usr/bin/env bash
# The layer check itself: on a small tree of its own, every include that points
# up a layer (or into a folder's neighbour it may not use) fails the check and is
# named, and the includes the layers rest on pass.
set -euo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/scripts/check-layers"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0

# plant FILE LINE: a tree holding only FILE, whose one line is LINE.
plant() {
  rm -rf "${tree:?}"/*
  mkdir -p "$tree/$(dirname "$1")"
  printf '%s\n' "$2" >"$tree/$1"
}

expect_refused() {
  plant "$1" "$2"
  local out
  if out=$(bash "$script" "$tree" 2>&1); then
    echo "FAIL: passed: $1: $2"
    failures=$((failures + 1))
  elif [[ $out != *"$1:1 includes"* ]]; then
    echo "FAIL: $1: $2 refused without naming the file: $out"
    failures=$((failures + 1))
  fi
}

expect_passed() {
  plant "$1" "$2"
  if ! out=$(bash "$script" "$tree" 2>&1); then
    echo "FAIL: refused: $1: $2: $out"
    failures=$((failures + 1))
  fi
}

# A device reaching up to a front end, the core or the tests.
expect_refused devices/sdl/planted.cpp '#include "desktop/qt_platform.h"'
expect_refused devices/jack/planted.cpp '#include "tools/svltool/console_platform.h"'
expect_refused devices/desktop_audio.cpp '#include "audio/stream.h"'
expect_refused devices/sdl/planted.cpp '#include "tests/fake/fake_platform.h"'
expect_refused devices/sdl/planted.cpp '#include <QWidget>'
expect_refused devices/sdl/planted.cpp '#include "devices/jack/jack_wave.h"'
# The seam including anything above it.
expect_refused platform/planted.h '#include "song/song_state.h"'
expect_refused platform/planted.cpp '#include "devices/sdl/sdl_wave.h"'
expect_refused platform/planted.cpp '#include "base/bytes.h"'
# A core folder including a device, a front end, a fake, a toolkit or a layer above.
expect_refused audio/planted.cpp '#include "devices/sdl/sdl_wave.h"'
expect_refused app/planted.cpp '#include "desktop/main_window.h"'
expect_refused codecs/planted.cpp '#include "tools/svltool/session.h"'
expect_refused song/planted.cpp '#include "tests/fake/fake_platform.h"'
expect_refused panel/planted.cpp '#include <SDL2/SDL.h>'
expect_refused song/planted.cpp '#include "audio/mixer.h"'
expect_refused audio/planted.cpp '#include "platform/notice_ring.h"'
# The command-line tool and the fakes are not the desktop program.
expect_refused tools/svltool/planted.cpp '#include "devices/desktop_audio.h"'
expect_refused tests/fake/planted.cpp '#include "desktop/qt_platform.h"'

# What the layers rest on.
expect_passed devices/jack/planted.cpp '#include "platform/wave.h"'
expect_passed devices/jack/planted.cpp '#include <jack/jack.h>'
expect_passed devices/desktop_audio.cpp '#include "devices/sdl/sdl_wave.h"'
expect_passed audio/planted.cpp '#include "platform/wave.h"'
expect_passed desktop/planted.cpp '#include "devices/desktop_audio.h"'
expect_passed desktop/planted.cpp '#include <QWidget>'
expect_passed tests/fake/planted.cpp '#include "app/window_proc.h"'
expect_passed tools/svltool/planted.cpp '#include "codecs/export.h"'

if ((failures > 0)); then
  echo "$failures cases failed"
  exit 1
fi
echo "check-layers: every planted case judged right"
