#!/usr/bin/env bash
# Builds Lumiva in Release, then compares it with iconv, uconv, recode and cp on data it makes
# in a temporary folder. Prints a table of medians and ratios (kept in bench/RESULTS.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
command -v python3 >/dev/null || { sudo_=(); [ "$(id -u)" -ne 0 ] && sudo_=(sudo); "${sudo_[@]}" apt-get install -y -qq python3; }
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF -DLUMIVA_BENCH=ON >/dev/null
cmake --build build/release -j"$(nproc)"
probe=()
[ -x build/release/bin/lumiva-startup-probe ] && probe=(--startup build/release/bin/lumiva-startup-probe)
exec python3 bench/compare.py --bin build/release/bin "${probe[@]}" "$@"
