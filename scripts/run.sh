#!/usr/bin/env bash
# The main job: shows Ondrivex recording a desktop, end to end.
#
#   scripts/run.sh           about a minute, then everything it started ends
#   scripts/run.sh --keep    server, client and windows stay up afterwards
#
# On a fresh Debian 12 machine it installs what is missing (scripts/setup.sh)
# and builds what is missing: the reference server tcserver and the link tool
# tclink (native), and the client Ondrivex.exe (Windows i686; x86_64 where
# the machine cannot run 32-bit programs). Then it
#  1. starts tcserver on a free local port with a fresh database holding the
#     demo account (DEMO_USER/DEMO_PASSWORD below),
#  2. prepares a Wine prefix of the run's own (build/run/wineprefix): the
#     hello-server list names the local server, the demo account is the
#     saved sign-in, so the client signs in by itself, and the installation
#     folder is the build's dist/, whose title rules name the documents,
#  3. starts Ondrivex.exe under Wine, on the user's display when there is one,
#     else on an Xvfb display of its own,
#  4. opens helper windows with documents in their titles (Notepad, WordPad)
#     one after another, each taking the foreground, for TC_RUN_SECONDS
#     (default 60) in all, at least 12 s each (two to four windows),
#  5. ends the client with its own "stopClient" option (unless --keep) and
#     prints the demo user's recorded day ("tcserver day") and the address of
#     the report page.
# What the run saw is kept in build/run/: day.txt (the day), report.png (the
# report page in headless Chromium), run.txt (one "name=value" line per
# finding, read by the test command), tcserver.log, client-debug.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

keep=0
case "${1:-}" in
  --keep) keep=1 ;;
  "") ;;
  *) echo "usage: scripts/run.sh [--keep]" >&2; exit 1 ;;
esac
seconds=${TC_RUN_SECONDS:-${ONDRIVEX_RUN_SECONDS:-60}}
DEMO_USER=demo
DEMO_PASSWORD=demo-password
run=$root/build/run

say() { echo "== $*"; }

# --- install and build what is missing ---------------------------------------
bash scripts/setup.sh
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
fi
if [ ! -f build/native/build.ninja ]; then
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTC_SANITIZE=ON >/dev/null
fi
# The i686 client, or the x86_64 one on a machine whose kernel cannot run
# 32-bit programs (scripts/wine-env finds out).
source scripts/wine-env
if [ "$TC_WINE32" = yes ]; then
  client_config=win32 toolchain=cmake/mingw-i686.cmake
else
  client_config=win64 toolchain=cmake/mingw-x86_64.cmake
fi
if [ ! -f build/$client_config/build.ninja ]; then
  cmake -S . -B build/$client_config -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=$toolchain >/dev/null
fi
say "building the reference server and the client (what is missing)"
cmake --build build/native --target tcserver tclink -- -j2 | tail -n 1
cmake --build build/$client_config --target Ondrivex -- -j2 | tail -n 1
tcserver=$root/build/native/bin/tcserver
tclink=$root/build/native/bin/tclink
client=$root/build/$client_config/dist/Ondrivex.exe

rm -rf "$run/documents" "$run/tcserver.db"* "$run/run.txt" "$run/day.txt"
mkdir -p "$run/documents"
: >"$run/run.txt"
note() { echo "$1" >>"$run/run.txt"; }

# --- the server and the demo account -----------------------------------------
db=$run/tcserver.db
echo "$DEMO_PASSWORD" | "$tcserver" --db "$db" user add "$DEMO_USER" >/dev/null
demo_id=$("$tcserver" --db "$db" user list | awk -v n="$DEMO_USER" '$2 == n { print $1 }')
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
address=http://127.0.0.1:$port/
"$tcserver" --db "$db" serve --port "$port" --reports-url "$address" >"$run/tcserver.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do
  grep -q '^tcserver ready' "$run/tcserver.log" && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.2
done
if ! grep -q '^tcserver ready' "$run/tcserver.log"; then
  echo "!! tcserver did not start:" >&2
  cat "$run/tcserver.log" >&2
  note "server=failed"
  exit 1
fi
note "server=up"
note "port=$port"
say "tcserver listens at $address (pid $server_pid); demo account \"$DEMO_USER\", id $demo_id"

# --- Wine: display, prefix, registry -----------------------------------------
export WINEPREFIX=${TC_RUN_WINEPREFIX:-$run/wineprefix}
source scripts/wine-start
xvfb_pid=
tc_wine_start "$(say "creating the Wine prefix $WINEPREFIX (once)")"

helpers=()
client_pid=
finish() {
  local status=$?
  if [ "$keep" = 1 ] && [ "$status" = 0 ]; then return; fi
  for p in "${helpers[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ -n "$client_pid" ]; then
    wine "$client" stopClient >/dev/null 2>&1 || true
    kill "$client_pid" 2>/dev/null || true
  fi
  kill "$server_pid" 2>/dev/null || true
  # Only the run's own prefix: its wineserver serves nobody else.
  if [ -z "${TC_RUN_WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap finish EXIT

# The client reads the machine's values through the 32-bit view, in both
# builds (base/win32/Registry.cpp).
reg() { wine reg "$@" >/dev/null 2>&1; }
servers='HKLM\Software\Ondrivex\Servers'
for i in 0 1 2 3 4; do
  # All five entries: a gap would bring the default hosts in behind it.
  reg add "$servers" /v "server.$i.host" /t REG_SZ /d 127.0.0.1 /f /reg:32
  reg add "$servers" /v "server.$i.port" /t REG_DWORD /d "$port" /f /reg:32
done
reg add 'HKLM\Software\Ondrivex' /v WebServer /t REG_SZ /d "127.0.0.1:$port" /f /reg:32
# The installation folder is the build's dist/, where the title rules
# (ApplicationRules.txt) lie beside the client, as they would when installed:
# documents are then recorded by name, not by the whole title.
install_dir=$(winepath -w "$(dirname "$client")")
reg add 'HKLM\Software\Ondrivex' /v InstallDir /t REG_SZ /d "$install_dir\\" /f /reg:32
secret=$(echo "$DEMO_PASSWORD" | "$tclink" --secret "$DEMO_USER")
reg add 'HKCU\Software\Ondrivex' /v Username /t REG_SZ /d "$DEMO_USER" /f
reg add 'HKCU\Software\Ondrivex' /v SessionID /t REG_BINARY /d "$secret" /f
if wine reg query "$servers" /v server.4.port /reg:32 2>/dev/null | grep -q server.4.port &&
   wine reg query 'HKCU\Software\Ondrivex' /v SessionID 2>/dev/null | grep -q SessionID; then
  note "registry=set"
else
  echo "!! the Wine registry could not be set" >&2
  note "registry=failed"
fi

# --- the client ----------------------------------------------------------------
# A copy left over from an earlier --keep run would refuse the new one.
wine "$client" stopClient >/dev/null 2>&1 || true
say "starting Ondrivex.exe on display $DISPLAY (it starts in the tray and signs in as $DEMO_USER)"
wine "$client" >"$run/client.out" 2>&1 &
client_pid=$!
sleep 5
if kill -0 "$client_pid" 2>/dev/null; then
  note "client=running"
else
  echo "!! Ondrivex.exe ended at once" >&2
  note "client=ended"
fi

# --- helper windows with documents -------------------------------------------
printf 'Plan for the week\r\n' >"$run/documents/plan.txt"
printf '{\\rtf1 Quarterly report\\par}' >"$run/documents/report.rtf"
printf 'Minutes of the meeting\r\n' >"$run/documents/minutes.txt"
printf '{\\rtf1 Budget\\par}' >"$run/documents/budget.rtf"
windows=("notepad.exe plan.txt" "wordpad.exe report.rtf" "notepad.exe minutes.txt" "wordpad.exe budget.rtf")
# The client reports a window once it has kept the foreground for ten
# seconds, so each stays at least 12 s: a short run shows fewer of them.
count=$((seconds / 12))
[ "$count" -ge 2 ] || count=2
[ "$count" -le ${#windows[@]} ] || count=${#windows[@]}
slice=$((seconds / count))
[ "$slice" -ge 12 ] || slice=12
for w in "${windows[@]:0:$count}"; do
  set -- $w
  say "helper window: $2 in $1, for ${slice}s"
  # Notepad is on Wine's search path; WordPad lives in its own folder.
  program=$1
  [ "$1" != wordpad.exe ] || program='C:\Program Files\Windows NT\Accessories\wordpad.exe'
  wine "$program" "$(winepath -w "$run/documents/$2")" >/dev/null 2>&1 &
  helpers+=($!)
  note "window=$1 $2"
  sleep "$slice"
done
# The client reports a change once it has settled; give the last one time
# to reach the server.
sleep 5

if kill -0 "$client_pid" 2>/dev/null; then note "client_after_run=running"; else note "client_after_run=ended"; fi

# --- what the server recorded --------------------------------------------------
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
log=$(winepath -u "$temp\\debug.log" 2>/dev/null || true)
[ -n "$log" ] && [ -f "$log" ] && cp "$log" "$run/client-debug.log"
"$tcserver" --db "$db" day "$DEMO_USER" >"$run/day.txt" 2>&1 || true
rows=$(($(wc -l <"$run/day.txt") - 2))
[ "$rows" -ge 0 ] || rows=0
note "rows=$rows"
say "the demo user's day as the server recorded it (tcserver day $DEMO_USER)"
cat "$run/day.txt"
if [ "$rows" = 0 ]; then
  echo "!! nothing recorded: the client did not sign in or send; its start-up trace:"
  tail -n 8 "$run/client-debug.log" 2>/dev/null || echo "   (no debug.log)"
fi
# A picture of the report page as a browser shows it, with a link of its own
# (each link serves once).
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -n "$chromium" ]; then
  shot_link=$(echo "$DEMO_PASSWORD" | "$tclink" "$demo_id" "$address")
  rm -f "$run/report.png"
  timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars \
    --user-data-dir="$run/browser" --window-size=1280,900 --screenshot="$run/report.png" "$shot_link" \
    >/dev/null 2>&1 || true
  [ -f "$run/report.png" ] && say "the report page as a browser shows it: $run/report.png"
fi
link=$(echo "$DEMO_PASSWORD" | "$tclink" "$demo_id" "$address")
if [ "$keep" = 1 ]; then
  say "the report page of the day, signed in (the link serves once; tclink makes more):"
  echo "   $link"
  echo "   group list: ${address}Reports/Group/GroupList.aspx (after signing in)"
  say "left running: tcserver (pid $server_pid), Ondrivex.exe and the helper windows (prefix $WINEPREFIX," \
    "display $DISPLAY${xvfb_pid:+, Xvfb pid $xvfb_pid})"
  echo "   end them with:  kill $server_pid${xvfb_pid:+ $xvfb_pid}; WINEPREFIX=$WINEPREFIX wine $client stopClient;" \
    "WINEPREFIX=$WINEPREFIX wineserver -k"
else
  say "the report page of the day: ${address}Reports/General/UserSummary.aspx, signed in by a link" \
    "like the one below (the server has ended now; scripts/run.sh --keep leaves it up)"
  echo "   $link"
fi
