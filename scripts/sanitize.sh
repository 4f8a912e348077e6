#!/usr/bin/env bash
# Installs what is missing, builds Lumiva and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own, and runs the whole suite there. A sanitizer
# report ends the process that made it with an error, so it fails its test.
# LUMIVA_SANITIZE_BUILD_DIR chooses the build folder (default build/sanitize); further arguments
# go to ctest. The build is CPU-heavy: on a shared machine run it under nice.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${LUMIVA_SANITIZE_BUILD_DIR:-build/sanitize}"
scripts/deps.sh test
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
