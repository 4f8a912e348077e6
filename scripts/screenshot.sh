#!/usr/bin/env bash
# Renders the main window under a virtual X server at 100% and 200% scaling into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh screenshot
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMIVA_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target lumiva lumiva_help
mkdir -p docs

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done

# A desktop folder as a user would have it, so the default output directory reads naturally.
mkdir -p "$work/config"
echo 'XDG_DESKTOP_DIR="/home/user/Desktop"' > "$work/config/user-dirs.dirs"

shoot() { # scale, output
  XDG_CONFIG_HOME="$work/config" HOME="$work" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
    QT_SCALE_FACTOR="$1" build/release/bin/lumiva >/dev/null 2>&1 &
  local pid=$! found=""
  for _ in $(seq 100); do
    xwininfo -display "$display" -name Lumiva 2>/dev/null | grep -q 'IsViewable' && found=1 && break
    sleep 0.1
  done
  [ -n "$found" ] || { echo "the window did not appear" >&2; exit 1; }
  sleep 1 # let the first paint finish
  # No window manager: the window sits alone on the black root, so trimming cuts it out.
  import -display "$display" -window root -trim +repage "$2"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}
shoot 1 docs/main-window.png
shoot 2 docs/main-window@2x.png
echo "docs/main-window.png docs/main-window@2x.png"
