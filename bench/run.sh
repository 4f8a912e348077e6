#!/usr/bin/env bash
# Builds Lumiva in Release (and main's lumiva-batch, for the cases without a fast path), then
# compares it with iconv, uconv, recode and cp on data it makes in a temporary folder. Writes the
# table to bench/RESULTS.md and the chart to bench/results.png. Options go to bench/compare.py
# (for example --large-mib 16 --huge-mib 32 --repetitions 3 while working on the bench).
# LUMIVA_BENCH_BASELINE=none skips the build of main; a folder there uses its lumiva-batch.
# With --only GROUP (for example `bench/run.sh --only legacy`) the chart goes to
# bench/results-GROUP.png and the tables to build/release/bench.md; bench/RESULTS.md is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
jobs=$(nproc)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF -DLUMIVA_BENCH=ON >/dev/null
cmake --build build/release -j"$jobs"

baseline=()
case "${LUMIVA_BENCH_BASELINE:-main}" in
  none) ;;
  main)
    if git rev-parse --verify -q main >/dev/null; then
      rm -rf build/bench-main/src
      mkdir -p build/bench-main/src
      git archive main | tar -x -C build/bench-main/src
      cmake -S build/bench-main/src -B build/bench-main/build -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF >/dev/null
      cmake --build build/bench-main/build -j"$jobs" --target lumiva-batch lumiva-iconv
      baseline=(--baseline-bin build/bench-main/build/bin)
    fi
    ;;
  *) baseline=(--baseline-bin "$LUMIVA_BENCH_BASELINE") ;;
esac

probe=()
[ -x build/release/bin/lumiva-startup-probe ] && probe=(--startup build/release/bin/lumiva-startup-probe)
blocks=$(build/release/bin/lumiva-fastpath-probe)
# Debian's Python, which has Debian's matplotlib.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
results=build/release/bench.json
load=$(uptime)
"$python" bench/compare.py --bin build/release/bin "${baseline[@]}" "${probe[@]}" --blocks "$blocks" --json "$results" "$@" \
  | tee build/release/bench.md
only=""
previous=""
for arg in "$@"; do
  [ "$previous" = --only ] && only=$arg
  case "$arg" in --only=*) only=${arg#--only=} ;; esac
  previous=$arg
done
if [ -n "$only" ]; then
  "$python" bench/chart.py "$results" "bench/results-$only.png"
  echo "Tables: build/release/bench.md; chart: bench/results-$only.png"
  exit 0
fi
"$python" bench/chart.py "$results" bench/results.png
# The sections of the other benchmarks (folders, detection), each "## ...", stay as they were.
others=$(sed -n '/^## /,$p' bench/RESULTS.md 2>/dev/null || true)
{
  echo "# Benchmark results"
  echo
  echo "Latest run of \`bench/run.sh\` (Release build). The machine is shared, so treat differences under about 10 % as noise."
  echo "\`uptime\` before the run: \`${load# }\`; after: \`$(uptime | sed 's/^ //')\`."
  echo
  echo "![Median wall time relative to cp, per case and tool](results.png)"
  echo
  cat build/release/bench.md
  if [ -n "$others" ]; then
    echo
    printf '%s\n' "$others"
  fi
} > bench/RESULTS.md
