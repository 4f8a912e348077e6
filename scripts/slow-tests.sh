#!/usr/bin/env bash
# Installs what is missing, builds Lumiva with its tests like scripts/test.sh and runs the slow
# tests that the normal test command leaves out (those whose name contains SLOW_): a file over
# 4 GiB, and the Debian package built and checked with dpkg-deb and lintian.
# LUMIVA_BUILD_DIR chooses another build folder (default build/test).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${LUMIVA_BUILD_DIR:-build/test}"
scripts/deps.sh test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target test_faults test_batch
export QT_QPA_PLATFORM=offscreen
status=0
"$build/bin/test_faults" --gtest_filter='*SLOW_*' "$@" || status=1
# The Debian package: scripts/package.sh builds it in build/package, then dpkg-deb and lintian.
"$build/bin/test_batch" --gtest_filter='*SLOW_*' "$@" || status=1
exit $status
