#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds every configuration and runs every
# test: native (ASan+UBSan), Windows i686 and Windows x86_64 under Wine, and
# the fuzz targets for a bounded time, and the tests of the threaded code
# under ThreadSanitizer. Ends with "N passed, N failed".
#
#   scripts/test.sh                 everything
#   TC_CONFIGS="native win32" scripts/test.sh    a subset
#   TC_FUZZ_SECONDS=5 scripts/test.sh            shorter fuzzing
# With native and win32 among the configurations it ends with a shortened
# scripts/run.sh (TC_RUN_TEST_SECONDS, default 24) and checks what it recorded.
# On a machine whose kernel cannot run 32-bit programs (scripts/wine-env) the
# win32 build is made and its binaries checked without running them, and the
# shortened run takes the win64 client.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh || { echo "setup failed"; echo "0 passed, 1 failed"; exit 1; }

configs=${TC_CONFIGS:-native win32 win64 fuzz tsan}
fuzz_seconds=${TC_FUZZ_SECONDS:-15}
results=$root/build/results
rm -rf "$results"
mkdir -p "$results"
build_failures=0

configure() { # name, cmake args...
  local name=$1; shift
  if ! cmake -S . -B "build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
       >"$results/$name-configure.log" 2>&1; then
    echo "!! configuring $name failed; see build/results/$name-configure.log"
    tail -n 40 "$results/$name-configure.log"
    build_failures=$((build_failures + 1))
    return 1
  fi
}

build() { # name
  local name=$1
  echo "== building $name"
  if ! cmake --build "build/$name" >"$results/$name-build.log" 2>&1; then
    echo "!! build of $name failed; see build/results/$name-build.log"
    tail -n 40 "$results/$name-build.log"
    build_failures=$((build_failures + 1))
    return 1
  fi
}

# --- Wine and a display for the Windows configurations ----------------------
# The run takes the project's own prefix and settings whatever the caller's
# environment says: it stops that prefix's wineserver when it ends.
unset WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
source scripts/wine-env
source scripts/wine-start
xvfb_pid=
start_wine() {
  # One wineserver for the whole run, so each test starts in a tenth of a second.
  tc_wine_start "== creating the Wine prefix"
  wine cmd /c exit >/dev/null 2>&1 || true
  # The display has no window manager, yet Wine's X11 driver waits up to 2 s
  # for one to confirm every hiding of a window it manages. The client's
  # window tests hide the status window when they end and remove the tray
  # icon, on which the desktop process hides its tray window while the test
  # waits for it: 4 s of waiting per test. With nothing there to manage the
  # windows, these two programs leave them unmanaged and skip the wait.
  local program
  for program in OndrivexClientTests.exe explorer.exe; do
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver" \
      /v Managed /d N /f >/dev/null 2>&1 || true
  done
}
stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop_wine EXIT

run_ctest() { # name, jobs
  local name=$1 jobs=$2
  echo "== testing $name"
  (cd "build/$name" && ctest -j "$jobs" --timeout 300 --output-junit "$results/$name.xml" \
      >"$results/$name-ctest.log" 2>&1)
  tail -n 3 "$results/$name-ctest.log"
  # Pictures the tests took of real windows, for a person to look at.
  if [ -d "build/$name/screenshots" ]; then
    cp -r "build/$name/screenshots" "$results/$name-screenshots"
  fi
  if [ ! -s "$results/$name.xml" ]; then
    echo "!! ctest of $name produced no results"
    build_failures=$((build_failures + 1))
  fi
  if grep -q "tests failed out of" "$results/$name-ctest.log" &&
     ! grep -q " 0 tests failed" "$results/$name-ctest.log"; then
    sed -n '/The following tests FAILED/,$p' "$results/$name-ctest.log"
  fi
}

for c in $configs; do
  case $c in
    native)
      configure native -DTC_SANITIZE=ON && build native && run_ctest native 2 ;;
    win32)
      # A kernel without 32-bit support runs no i686 program, Wine's included:
      # the build is made in full and its binaries are checked without being
      # run (export tables, imports, dist/); the x86_64 build runs the tests.
      if [ "$TC_WINE32" = yes ]; then
        configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTC_RUN_PROGRAMS=ON && build win32 &&
          { start_wine; run_ctest win32 2; }
      else
        echo "== this machine cannot run 32-bit programs: the win32 build's programs are built and checked, not run"
        configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTC_RUN_PROGRAMS=OFF && build win32 &&
          run_ctest win32 2
      fi ;;
    win64)
      configure win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake && build win64 &&
        { start_wine; run_ctest win64 2; } ;;
    fuzz)
      if configure fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTC_FUZZ=ON -DTC_TESTS=OFF &&
         build fuzz; then
        echo "== fuzzing, ${fuzz_seconds}s per target"
        for f in build/fuzz/bin/fuzz_*; do
          [ -x "$f" ] || continue
          t=$(basename "$f")
          corpus=build/fuzz/corpus/$t
          mkdir -p "$corpus"
          seeds=fuzz/corpus/${t#fuzz_}
          [ -d "$seeds" ] || seeds=
          if "$f" -max_total_time="$fuzz_seconds" -print_final_stats=0 -detect_leaks=1 \
               "$corpus" $seeds >"$results/$t.log" 2>&1; then
            echo "   $t: ok"
            echo "pass" >"$results/$t.fuzz"
          else
            echo "   $t: FAILED"
            tail -n 30 "$results/$t.log"
            echo "fail" >"$results/$t.fuzz"
          fi
        done
      fi ;;
    # --- tsan: ThreadSanitizer over the threaded code -------------------------
    # The log devices, the logger, the folders, mutexes and threads, the
    # shared-memory channel, the framework's timers, the system model's
    # application table (shared with the transport's worker) and the reference
    # server's HTTP side run on several threads; only their test programs are
    # built and only their suites run.
    # Any race report fails the test (TSan's exit code), as does a report
    # halting a test early.
    tsan)
      if configure tsan -DTC_TSAN=ON &&
         { echo "== building tsan"
           cmake --build build/tsan --target TCBaseTests TCShrdFrameworkTests TCShrdMonitoringTests TcserverTests \
             >"$results/tsan-build.log" 2>&1 ||
           { echo "!! build of tsan failed; see build/results/tsan-build.log"
             tail -n 40 "$results/tsan-build.log"; build_failures=$((build_failures + 1)); false; }; }; then
        echo "== testing tsan"
        (cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
           ctest -j 2 --timeout 300 --output-junit "$results/tsan.xml" \
             -R '^(CommunicationDeviceTest|SharedMemChannelTest|LoggerTest|FileLoggingTest|FileTest|MutexTest|ThreadTest|EventTest|ToolsTest|ApplicationFrameworkTest|TimerTest|SystemTest|HttpFrontTest|ReportPagesTest)\.' \
             >"$results/tsan-ctest.log" 2>&1)
        tail -n 3 "$results/tsan-ctest.log"
        if [ ! -s "$results/tsan.xml" ]; then
          echo "!! ctest of tsan produced no results"
          build_failures=$((build_failures + 1))
        elif ! grep -q " 0 tests failed" "$results/tsan-ctest.log"; then
          sed -n '/The following tests FAILED/,$p' "$results/tsan-ctest.log"
        fi
      fi ;;
    # --- end of tsan ----------------------------------------------------------
    *)
      echo "!! unknown configuration $c (known: native win32 win64 tsan fuzz)"
      build_failures=$((build_failures + 1)) ;;
  esac
done

# --- the main command, shortened: server, client under Wine, helper windows ---
# Needs the native build and the client's Windows build: i686, or x86_64 on a
# machine that cannot run 32-bit programs. Its findings count like tests.
client_config=win32
if [ "$TC_WINE32" = no ]; then client_config=win64; fi
case " $configs " in
  *" native "*" $client_config "* | *" $client_config "*" native "*)
    echo "== running scripts/run.sh for ${TC_RUN_TEST_SECONDS:-24}s"
    TC_RUN_SECONDS=${TC_RUN_TEST_SECONDS:-24} bash scripts/run.sh >"$results/run.log" 2>&1
    python3 scripts/check-run.py build/run "$?" "$results/run.xml"
    if [ -f build/run/report.png ]; then mkdir -p "$results/run-screenshots" && cp build/run/report.png "$results/run-screenshots/"; fi ;;
esac

python3 scripts/summary.py "$results" "$build_failures"
