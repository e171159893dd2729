#!/usr/bin/env bash
# The main job. The client program is not built yet, so this installs what is
# needed, builds the Windows binaries (i686) and lists the deliverables.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32
# dist/ holds the deliverables and nothing else (tests and tools are in bin/).
echo "Deliverables in build/win32/dist: $(ls build/win32/dist 2>/dev/null | tr '\n' ' ')"
echo "The client program (Ondrivex.exe) is not yet runnable."
