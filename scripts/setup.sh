#!/usr/bin/env bash
# Installs the Debian packages Kestrow needs to build, test and run; does nothing when they are all there.
#   scripts/setup.sh [--package]
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    qt6-httpserver-dev qt6-websockets-dev libgl-dev libsqlite3-dev libssl-dev libbenchmark-dev
    xvfb xauth fonts-wqy-microhei python3 dbus-daemon dbus-session-bus-common
)
# With --package also what making, checking and trying out the Debian package needs.
if [ "${1:-}" = "--package" ]; then
    packages+=(dpkg-dev file desktop-file-utils appstream lintian man-db trayer x11-apps imagemagick)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
