#!/usr/bin/env bash
# Installs the Debian packages that are missing for the given purpose: build, test, bench, package...
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev libgl-dev fonts-dejavu-core help2man libuchardet-dev libicu-dev libacl1-dev)
case "${1:-build}" in
  build) ;;
  test) packages+=(libgtest-dev libgmock-dev locales xvfb xauth x11-utils strace python3 desktop-file-utils appstream man-db bash-completion) ;;
  package) packages+=(dpkg-dev file lintian) ;;
  bench) packages+=(libbenchmark-dev icu-devtools recode time locales)
    # Encoding detection: the reference detectors (npm brings two more into a temporary folder),
    # and the texts of the corpus and of the language tables: translated manual pages and desktop
    # help (message catalogs come with the packages themselves); xz-utils brings most of the Korean
    # manual pages.
    packages+=(uchardet enca python3 python3-icu python3-chardet python3-charset-normalizer nodejs
      manpages-fr manpages-de manpages-es manpages-it manpages-pt-br manpages-pl manpages-cs manpages-hu
      manpages-ru manpages-uk manpages-el manpages-tr manpages-ja manpages-zh manpages-da manpages-fi
      manpages-nb manpages-nl manpages-ro manpages-sr manpages-sv manpages-vi gnome-user-docs
      man-db psmisc xz-utils python3-matplotlib)
    # A Node.js from elsewhere brings its own npm and conflicts with Debian's package of it.
    command -v npm >/dev/null || packages+=(npm) ;;
  # bench/jobs.sh alone: it times lumiva-batch, and needs none of the reference detectors.
  timing) packages+=(time python3) ;;
  screenshot) packages+=(xvfb xauth x11-utils imagemagick xdotool) ;;
  fuzz) packages+=(clang libclang-rt-dev libgtest-dev libgmock-dev) ;;
  *) echo "usage: $0 build|test|bench|timing|screenshot|fuzz|package" >&2; exit 64 ;;
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
