#!/usr/bin/env bash
# --jobs: 2,000 small files (named one by one, as one folder, and with --report), one file and one
# large file, converted with --jobs 1 and --jobs 2 side by side (in each round the forms alternate,
# and so do the programs when a reference is given; medians), with the processor time and the
# peak memory of each. Builds a Release tree of its own and makes the data on a RAM disk; prints
# the figures kept in bench/RESULTS.md.
# Usage: bench/jobs.sh [ROUNDS] [LUMIVA_BATCH] [REFERENCE_LUMIVA_BATCH]
#   (default 7 rounds; without a program, builds one). LMV_BENCH_DIR puts the data elsewhere.
#   LMV_BENCH_RT=1 (as root) runs each program at a real-time priority (chrt -f 10), ahead of
#   builds that load a shared machine, so that the two jobs get the two processors. The timer
#   runs at that priority too: a timer left among the builds wakes late from the program's end,
#   milliseconds that are the same for both job counts and pull every ratio towards 1.
# On a RAM disk because of the disk's noise, and because ext4 without a journal skips every inode
# freed in the last 30 s when it makes a file: results made just after the last round's were
# deleted cost several times their own work there, whatever the program does.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
bin=${2:-}
ref=${3:-}
if [ -z "$bin" ]; then
    scripts/deps.sh timing
    build=build/bench-jobs
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target lumiva-batch lumiva-iconv >/dev/null 2>"$build/build.err" ||
        { cat "$build/build.err" >&2; exit 1; }
    bin=$build/bin/lumiva-batch
fi
programs=("$bin")
[ -n "$ref" ] && programs+=("$ref")

base=${LMV_BENCH_DIR:-/dev/shm}
[ -d "$base" ] || base=${TMPDIR:-/tmp}
data=$(mktemp -d "$base/lmvbench-jobs-XXXXXX")
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

# Runs one program: wall time, processor time (user + system) and peak memory, from wait4 (to the
# microsecond; /usr/bin/time counts in hundredths, too coarse for runs of a few hundredths).
# The peak is GNU time's: a process spawned from Python starts out counting Python's memory.
cat > "$data/run.py" <<'PY'
import os, sys, time
null = os.open(os.devnull, os.O_WRONLY)
peak = sys.argv[1] + ".peak"
command = ["/usr/bin/time", "-f", "%M", "-o", peak] + sys.argv[2:]
start = time.perf_counter()
pid = os.posix_spawn(command[0], command, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, null, 1)])
_, status, usage = os.wait4(pid, 0)
wall = time.perf_counter() - start
if status != 0:
    sys.exit("status %d from %s" % (status, " ".join(sys.argv[2:])))
print("%.4f %.4f %s" % (wall, usage.ru_utime + usage.ru_stime, open(peak).read().split()[-1]))
PY
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
one() { # program, jobs, then the rest of the command line; prints "seconds cpu_seconds peak_kib"
    local program=$1 jobs=$2; shift 2
    rm -rf "$data/out" "$data/report"
    "${rt[@]}" python3 "$data/run.py" "$data/time" "$program" --jobs "$jobs" -t UTF-16LE --output-dir "$data/out" "$@"
}
rt=()
[ "${LMV_BENCH_RT:-}" = 1 ] && rt=(chrt -f 10)
compare() { # label, then the rest of the command line
    local label=$1; shift
    local -A t c m
    local r p j key s cpu k
    for ((r = 0; r < rounds; r++)); do
        for p in "${!programs[@]}"; do
            for j in 1 2; do
                key=$p.$j
                read -r s cpu k < <(one "${programs[$p]}" "$j" "$@")
                t[$key]+="$s "; c[$key]+="$cpu "; m[$key]=$((k > ${m[$key]:-0} ? k : ${m[$key]:-0}))
            done
        done
    done
    echo "$label:"
    for p in "${!programs[@]}"; do
        local a b ca cb
        a=$(tr ' ' '\n' <<<"${t[$p.1]}" | grep . | median)
        b=$(tr ' ' '\n' <<<"${t[$p.2]}" | grep . | median)
        ca=$(tr ' ' '\n' <<<"${c[$p.1]}" | grep . | median)
        cb=$(tr ' ' '\n' <<<"${c[$p.2]}" | grep . | median)
        echo "  ${programs[$p]}: --jobs 1 ${a}s (processor ${ca}s, peak ${m[$p.1]} KiB)," \
             "--jobs 2 ${b}s (processor ${cb}s, peak ${m[$p.2]} KiB)," \
             "ratio $(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", (a > 0 ? b / a : 0)}')"
        echo "    rounds --jobs 1: ${t[$p.1]}"
        echo "    rounds --jobs 2: ${t[$p.2]}"
    done
}

echo "data in $data; load before: $(cat /proc/loadavg)"
compare "one small file (the start and the end of a run)" "$data/small/f0001.txt"
compare "2,000 small files named" --files-from "$data/names" -0
compare "2,000 small files in one folder named" "$data/small"
compare "2,000 small files named, with --report" --files-from "$data/names" -0 --report "$data/report"
compare "one file of 304 MiB" "$data/large.txt"
echo "load after: $(cat /proc/loadavg)"
