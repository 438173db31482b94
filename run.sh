#!/usr/bin/env bash
# Builds the game the way ./test.sh does (without running the tests) and
# runs it from the repository root. Without a display ($DISPLAY unset) it
# plays on a virtual display, saves screenshot.png after a few seconds and
# ends the game with F12.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [[ -n "${DISPLAY:-}" ]]; then
  exec build/vireo
fi

tests/support/with-xvfb bash -c '
  build/vireo &
  pid=$!
  win=$(timeout 20 xdotool search --sync --onlyvisible --name "^Vireo$" | head -n 1 || true)
  if [[ -z "$win" ]]; then
    echo "run: the game window did not appear" >&2
    kill "$pid" 2>/dev/null
    wait "$pid"
    exit 1
  fi
  sleep 4
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage screenshot.png
  xdotool windowfocus "$win" key F12
  wait "$pid"
'
echo "run: screenshot of the game saved to $PWD/screenshot.png"
