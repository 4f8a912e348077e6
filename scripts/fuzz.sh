#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them for a bounded time:
#   scripts/fuzz.sh fuzz_ini|fuzz_buttons|fuzz_pipeline|fuzz_detect|fuzz_fastpath|fuzz_legacy_single|fuzz_legacy_double SECONDS [libFuzzer options...]
# One job at a time (the machine is shared). The committed corpus tests/fuzz/corpus/<target>
# seeds the run and stays as it is; new inputs go to <build>/corpus/<target>, a crashing input
# and the job's log to <build>/fuzz-out/<target>/. LUMIVA_FUZZ_BUILD_DIR chooses the build
# folder (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { echo "usage: $0 fuzz_ini|fuzz_buttons|fuzz_pipeline|fuzz_detect|fuzz_fastpath|fuzz_legacy_single|fuzz_legacy_double SECONDS [libFuzzer options...]" >&2; exit 64; }
[ $# -ge 2 ] || usage
target=$1 seconds=$2
shift 2
case "$target" in fuzz_ini | fuzz_buttons | fuzz_pipeline | fuzz_detect | fuzz_fastpath | fuzz_legacy_single | fuzz_legacy_double) ;; *) usage ;; esac
case "$seconds" in '' | *[!0-9]*) usage ;; esac

root=$(pwd)
build=$(realpath -m "${LUMIVA_FUZZ_BUILD_DIR:-build/fuzz}")
scripts/deps.sh fuzz
sanitize="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVA_BUILD_TESTS=OFF -DLUMIVA_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j2 --target "$target"

out="$build/fuzz-out/$target"
mkdir -p "$build/corpus/$target" "$out"
cd "$out"
rm -f fuzz-0.log
status=0
# An input that runs for 30 seconds is a hang (libFuzzer waits 20 minutes by default).
"$build/bin/$target" -jobs=1 -max_total_time="$seconds" -timeout=30 -artifact_prefix="$out/" -print_final_stats=1 "$@" \
  "$build/corpus/$target" "$root/tests/fuzz/corpus/$target" || status=$?
# With -jobs the run writes to a log (libFuzzer shows it at the end); a crash fails the script.
if [ -f fuzz-0.log ] && grep -q -E '==[0-9]+== ?ERROR|ERROR: libFuzzer|Test unit written' fuzz-0.log; then
  status=1
fi
echo "log: $out/fuzz-0.log"
exit $status
