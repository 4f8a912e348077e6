#!/usr/bin/env bash
# --jobs: 2,000 small files (named one by one, and as one folder) and one large file, converted
# with --jobs 1 and --jobs 2 side by side (the two alternate in each round; medians), with the
# processor time and the peak memory of each. Builds a Release tree
# of its own and makes the data in a temporary folder; prints the figures kept in bench/RESULTS.md.
# Usage: bench/jobs.sh [ROUNDS] [LUMIVA_BATCH]   (default 7; without a program, builds one)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
bin=${2:-}
if [ -z "$bin" ]; then
    scripts/deps.sh timing
    build=build/bench-jobs
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target lumiva-batch lumiva-iconv >/dev/null 2>"$build/build.err" ||
        { cat "$build/build.err" >&2; exit 1; }
    bin=$build/bin/lumiva-batch
fi

data=$(mktemp -d "${TMPDIR:-/tmp}/lmvbench-jobs-XXXXXX")
trap 'rm -rf "$data"' EXIT
mkdir "$data/small"
python3 - "$data" <<'PY'
import os, sys
root = sys.argv[1]
line = "Grüße, ça va? Привет. The quick brown fox jumps over the lazy dog.\n".encode()
for n in range(2000):
    with open(os.path.join(root, "small", "f%04d.txt" % n), "wb") as f:
        f.write(line * (1 + n % 40))
with open(os.path.join(root, "large.txt"), "wb") as f:
    for _ in range(256):
        f.write(line * 16384)
PY
find "$data/small" -type f -print0 | sort -z > "$data/names"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
one() { # jobs, then the rest of the command line; prints "seconds cpu_seconds peak_kib"
    local jobs=$1; shift
    rm -rf "$data/out"
    /usr/bin/time -f "%e %U %S %M" -o "$data/time" "$bin" --jobs "$jobs" -t UTF-16LE --output-dir "$data/out" "$@" >/dev/null
    awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$data/time"
}
compare() { # label, then the rest of the command line
    local label=$1; shift
    local t1=() t2=() c1=() c2=() m1=0 m2=0
    for ((r = 0; r < rounds; r++)); do
        read -r s c k < <(one 1 "$@"); t1+=("$s"); c1+=("$c"); m1=$((k > m1 ? k : m1))
        read -r s c k < <(one 2 "$@"); t2+=("$s"); c2+=("$c"); m2=$((k > m2 ? k : m2))
    done
    local a b
    a=$(printf '%s\n' "${t1[@]}" | median)
    b=$(printf '%s\n' "${t2[@]}" | median)
    echo "$label: --jobs 1 median ${a}s (peak ${m1} KiB), --jobs 2 median ${b}s (peak ${m2} KiB)," \
         "ratio $(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", b / a}')"
    # Processor time (user + system): under load the wall times say little, this says whether a
    # second job costs work of its own.
    echo "  processor time: --jobs 1 median $(printf '%s\n' "${c1[@]}" | median)s," \
         "--jobs 2 median $(printf '%s\n' "${c2[@]}" | median)s"
    echo "  rounds --jobs 1: ${t1[*]}"
    echo "  rounds --jobs 2: ${t2[*]}"
}

echo "load before: $(cat /proc/loadavg)"
compare "2,000 small files" --files-from "$data/names" -0
compare "2,000 small files in one folder named" "$data/small"
compare "one file of 304 MiB" "$data/large.txt"
echo "load after: $(cat /proc/loadavg)"
