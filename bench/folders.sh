#!/usr/bin/env bash
# Whole folders: the walk of 100,000 files in 1,000 folders, and a run over 20,000 small files in
# 200 folders against a run of the same files named one by one (flat). Builds a Release tree of
# its own, makes the data in a temporary folder and prints the figures kept in bench/RESULTS.md.
# Usage: bench/folders.sh [REPETITIONS]   (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
command -v python3 >/dev/null || { sudo_=(); [ "$(id -u)" -ne 0 ] && sudo_=(sudo); "${sudo_[@]}" apt-get install -y -qq python3; }
reps=${1:-3}
build=build/bench-folders
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF -DLUMIVA_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target folder_walk_bench lumiva-batch lumiva-iconv >/dev/null 2>"$build/build.err" ||
    { cat "$build/build.err" >&2; exit 1; }
bin=$build/bin

data=$(mktemp -d "${TMPDIR:-/tmp}/lmvbench-folders-XXXXXX")
trap 'rm -rf "$data"' EXIT

# Files named f<folder>_<n>.txt so that a flat run into one output folder has no collisions.
make_tree() { # root folders files-per-folder content
    python3 - "$@" <<'PY'
import os, sys
root, folders, per, content = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4].encode()
for d in range(folders):
    sub = os.path.join(root, "d%04d" % d)
    os.makedirs(sub)
    for n in range(per):
        with open(os.path.join(sub, "f%04d_%04d.txt" % (d, n)), "wb") as f:
            f.write(content)
PY
}

echo "uptime: $(uptime)"
echo
echo "== Walk: 100,000 files in 1,000 folders (warm cache)"
make_tree "$data/walk" 1000 100 "x"
"$bin/folder_walk_bench" "$data/walk" 5
rm -rf "$data/walk"

echo
echo "== Run: 20,000 small files in 200 folders, folder operand against the same files named (flat)"
make_tree "$data/tree" 200 100 "Grüße, ça va? Привет.
"
find "$data/tree" -type f | sort > "$data/list"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
run() { # label args...
    local label=$1; shift
    local times=()
    for ((i = 0; i < reps; i++)); do
        rm -rf "$data/out"
        /usr/bin/time -f "%e %M" -o "$data/time" "$bin/lumiva-batch" --output-dir "$data/out" "$@" >/dev/null
        times+=("$(cut -d' ' -f1 "$data/time")")
        rss=$(cut -d' ' -f2 "$data/time")
    done
    local m
    m=$(printf '%s\n' "${times[@]}" | median)
    echo "$label median_s $m per_file_ms $(awk -v t="$m" 'BEGIN {printf "%.3f", t * 1000 / 20000}') peak_rss_mib $(awk -v k="$rss" 'BEGIN {printf "%.1f", k / 1024}')"
    eval "median_$label=$m"
}
run flat --list "$data/list"
run folders "$data/tree"
awk -v f="$median_folders" -v l="$median_flat" 'BEGIN {printf "folders / flat: %.2f\n", f / l}'
echo
echo "uptime: $(uptime)"
