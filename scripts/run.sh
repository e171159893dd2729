#!/usr/bin/env bash
# The main job: installs what is missing, builds the Windows binaries (i686)
# and runs the client program Ondrivex.exe under Wine, on the user's display
# when there is one, else on a display of its own (Xvfb), for a minute
# (ONDRIVEX_RUN_SECONDS), then ends it with its own "stopClient" option.
#   scripts/run.sh --keep    leaves the client running until Ctrl-C
# The reference server and the demo account are not part of the run yet: the
# client starts offline in the tray and its status window asks for a sign-in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
keep=0
[ "${1:-}" = "--keep" ] && keep=1
bash scripts/setup.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 --target Ondrivex
echo "Deliverables in build/win32/dist: $(ls build/win32/dist | tr '\n' ' ')"

source scripts/wine-env
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  n=97
  while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  sleep 1
fi
mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
finish() {
  wine build/win32/dist/Ondrivex.exe stopClient >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap finish EXIT

echo "== starting Ondrivex.exe on display $DISPLAY (it starts in the tray)"
wine build/win32/dist/Ondrivex.exe >/dev/null 2>&1 &
if [ "$keep" = 1 ]; then
  echo "The client runs; press Ctrl-C to end it."
  wait
else
  sleep "${ONDRIVEX_RUN_SECONDS:-60}"
fi
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
log=$(winepath -u "$temp\\debug.log" 2>/dev/null || true)
if [ -n "$log" ] && [ -f "$log" ]; then
  echo "== the client's start-up trace (last lines of debug.log)"
  tail -n 8 "$log"
fi
