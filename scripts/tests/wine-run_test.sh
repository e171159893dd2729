#!/usr/bin/env bash
# wine-run hands the caller's standard error back as soon as the program has
# ended, even while a process the program started holds the program's
# standard error: Wine's desktop process is started that way by whichever
# program first needs the desktop, and a caller reading the stream until it
# closes (ctest) must not wait for that process.
# Usage: wine-run_test.sh <wine-run>
set -u
run=$1
token="wine-run-check-$$-$RANDOM"
folder=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$folder"' EXIT
mkfifo "$folder/input"
exec 3<>"$folder/input"

# The program starts a second one in the background that shares its standard
# handles and waits for a line on standard input. The line is sent only once
# the stream has closed, so a wine-run that gave the program our stream keeps
# it open for good and the test runs into its time-out.
"$run" cmd /c "start /b cmd /c set /p line=^& rem $token" 2>&1 >/dev/null <&3 | cat >/dev/null
code=${PIPESTATUS[0]}
status=0
if [ "$code" -ne 0 ]; then
  echo "FAIL: wine-run returned $code for a program that ended with 0"
  status=1
fi
# Without the second program still waiting, the check above shows nothing.
if ! pgrep -f "$token" >/dev/null; then
  echo "FAIL: the background program had already ended; the check proves nothing"
  status=1
fi
echo done >&3
while pgrep -f "$token" >/dev/null; do sleep 0.1; done
[ "$status" -eq 0 ] && echo "PASS: the stream closed while the background program still ran"
exit "$status"
