#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them all (or those named).
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh bench_msg       one of them
#   scripts/bench.sh bench_msg --benchmark_repetitions=5
#                                    options starting with -- go to each program
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTC_BENCH=ON -DTC_TESTS=OFF >/dev/null
cmake --build build/bench
names=()
options=()
for a in "$@"; do
  case "$a" in
    --*) options+=("$a") ;;
    *) names+=("$a") ;;
  esac
done
if ((${#names[@]} == 0)); then
  for f in build/bench/bin/bench_*; do names+=("$(basename "$f")"); done
fi
for n in "${names[@]}"; do
  echo "== $n"
  "build/bench/bin/$n" "${options[@]}"
done
