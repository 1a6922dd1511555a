#!/usr/bin/env bash
# Builds the Debian package in build-package/ (built as Debian builds its packages: dpkg-buildflags' hardening flags,
# no tests), checks its desktop entry and metainfo with desktop-file-validate and appstreamcli, and the package with
# lintian, which must report no error or warning. Prints the package's path as its last line.
#   scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-package"

"$root/scripts/setup.sh" --package >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DKESTROW_BUILD_TESTS=OFF -DKESTROW_BUILD_BENCH=OFF -DKESTROW_WERROR=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >&2
cmake --build "$build" >&2
rm -f "$build"/kestrow_*.deb
(cd "$build" && cpack -G DEB) >&2
package=$(ls "$build"/kestrow_*.deb)

id=$(sed -n 's/^set(KESTROW_APP_ID \(.*\))$/\1/p' "$root/CMakeLists.txt")
desktop-file-validate "$build/packaging/$id.desktop" >&2
appstreamcli validate --no-net --explain "$build/packaging/$id.metainfo.xml" >&2
# Errors and warnings fail the package; informational tags are shown. Root may run it (CI does).
lintian --allow-root --fail-on error,warning --info "$package" >&2
echo "$package"
