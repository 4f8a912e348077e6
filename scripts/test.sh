#!/usr/bin/env bash
# Installs what is missing, builds Lumiva with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
# A double-byte locale for the character-stepping tests, where the machine can make one.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.gbk$'; then
  if [ "$(id -u)" -eq 0 ] && command -v localedef >/dev/null; then
    localedef -f GBK -i zh_CN zh_CN.GBK 2>/dev/null || true
  fi
fi
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build/test --output-on-failure -j"$(nproc)" "$@"
