#!/usr/bin/env bash
# The reference server's sustained submission rate, by hand: builds tcserver
# and its load generator in release mode, starts the server on a fresh
# database with one account per client, and runs tcload with 1 and with 64
# concurrent clients (each with a connection per request, as the product's
# client makes, and again with kept-alive connections).
#   scripts/bench-tcserver.sh [SECONDS]        default 10 per run
# TC_PERF=1 records the 64-client run with perf into build/bench/tcserver.perf.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-10}
bash scripts/setup.sh >/dev/null
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTC_TESTS=OFF >/dev/null
cmake --build build/bench --target tcserver tcload >/dev/null
bin=build/bench/bin
work=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for i in $(seq 0 63); do echo load | "$bin/tcserver" --db "$work/bench.db" user add "load$i" >/dev/null; done
perf_prefix=()
if [ "${TC_PERF:-0}" = 1 ]; then
  perf_prefix=(perf record -g -o build/bench/tcserver.perf --)
fi
"${perf_prefix[@]}" "$bin/tcserver" --db "$work/bench.db" serve --port 0 --threads 80 >"$work/ready" &
server=$!
for _ in $(seq 100); do grep -q ready "$work/ready" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.*port=\([0-9]*\).*/\1/p' "$work/ready")
for clients in 1 64; do
  "$bin/tcload" --port "$port" --clients "$clients" --seconds "$seconds"
  "$bin/tcload" --port "$port" --clients "$clients" --seconds "$seconds" --keepalive
done
echo "rows stored: $(sqlite3 "$work/bench.db" 'SELECT COUNT(*) FROM activity' 2>/dev/null || echo '?')"
