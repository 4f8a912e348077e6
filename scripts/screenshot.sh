#!/usr/bin/env bash
# Renders the main window under a virtual X server at 100% and 200% scaling into docs/, then the
# Review window after File > Check > Folder... on a few sample files.
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

# Five files, two of them in Cyrillic code pages that Latin-1 cannot hold; From Auto-detect.
samples="$work/Documents"
mkdir -p "$samples" "$work/config/Lumiva"
printf 'Meeting notes: caf\xc3\xa9 at 10, r\xc3\xa9sum\xc3\xa9 review.\n' > "$samples/notes.txt"
printf 'Plain ASCII readme.\nSecond line.\n' > "$samples/readme.txt"
printf 'Dear friend,\n\xcf\xf0\xe8\xe2\xe5\xf2, \xea\xe0\xea \xe4\xe5\xeb\xe0? \xdd\xf2\xee \xef\xf0\xee\xf1\xf2\xee\xe9 \xf2\xe5\xea\xf1\xf2.\n' > "$samples/letter-1251.txt"
printf '\xf3\xc5\xc7\xcf\xc4\xce\xd1 \xd7 \xcd\xc5\xce\xc0: \xc2\xcf\xd2\xdd, \xd0\xc5\xcc\xd8\xcd\xc5\xce\xc9.\n' > "$samples/menu-koi8.txt"
printf 'Price: 10 \xe2\x82\xac per item.\n' > "$samples/prices.txt"
printf '[ConvertOptions]\nFromEncoding="Auto-detect"\nToEncoding="ISO-8859-1"\nOutputDirectory="%s/out"\n' \
  "$work" > "$work/config/Lumiva/Settings.ini"
XDG_CONFIG_HOME="$work/config" HOME="$work" DISPLAY="$display" QT_QPA_PLATFORM=xcb build/release/bin/lumiva \
  >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  xwininfo -display "$display" -name Lumiva 2>/dev/null | grep -q 'IsViewable' && break
  sleep 0.1
done
sleep 1
# File > Check > Folder..., the folder typed into the chooser.
DISPLAY="$display" xdotool mousemove 20 8 click 1 sleep 0.5 key h sleep 0.3 key o sleep 1.5 \
  type --delay 10 "$samples"
DISPLAY="$display" xdotool key Return sleep 3
import -display "$display" -window root -trim +repage docs/review-window.png
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "docs/main-window.png docs/main-window@2x.png docs/review-window.png"
