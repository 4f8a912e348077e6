#!/usr/bin/env bash
# Installs what is missing, builds Lumiva and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target lumiva lumiva-batch lumiva_help
exec build/release/bin/lumiva "$@"
