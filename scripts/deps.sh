#!/usr/bin/env bash
# Installs the Debian packages that are missing for the given purpose: build, test or bench.
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev libgl-dev fonts-dejavu-core)
case "${1:-build}" in
  build) ;;
  test) packages+=(libgtest-dev libgmock-dev locales) ;;
  bench) packages+=(libbenchmark-dev icu-devtools recode time locales python3 python3-matplotlib) ;;
  screenshot) packages+=(xvfb xauth x11-utils imagemagick) ;;
  fuzz) packages+=(clang libclang-rt-dev libgtest-dev libgmock-dev) ;;
  *) echo "usage: $0 build|test|bench|screenshot|fuzz" >&2; exit 64 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
