#!/usr/bin/env bash
# The Review window with 100,000 rows: memory over an empty window and the longest the event loop
# waits while batches of rows arrive. Builds in Release; extra arguments go to review_bench
# (ROWS BATCH).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF -DLUMIVA_BENCH=ON >/dev/null
cmake --build build/release -j"$(nproc)" --target review_bench
echo "uptime: $(uptime | sed 's/^ //')"
QT_QPA_PLATFORM=offscreen build/release/bin/review_bench "$@"
