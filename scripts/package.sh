#!/usr/bin/env bash
# Builds the Debian package: a Release tree in build/package (Debian's hardening flags, installed
# under /usr), then CPack writes dist/lumiva_<version>_amd64.deb. LUMIVA_PACKAGE_BUILD_DIR chooses
# another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(realpath -m "${LUMIVA_PACKAGE_BUILD_DIR:-build/package}")
scripts/deps.sh package

# Debian's hardening flags, all of them (bindnow too), given on every configure so that a build
# folder from an earlier run takes them as well.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DLUMIVA_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"

mkdir -p dist
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
(cd "$build" && cpack -G DEB -B "$staging" >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
package=lumiva_${version}_$(dpkg --print-architecture).deb
mv "$staging/$package" dist/
echo "$root/dist/$package"
