#!/usr/bin/env bash
# Configures and builds one build folder.  Usage: scripts/build.sh [--asan | --tsan] [--werror] [--bench]
# Prints the build folder's path as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build="$root/build"
args=(-DKESTROW_WERROR=OFF -DKESTROW_BUILD_BENCH=OFF)
for arg in "$@"; do
    case "$arg" in
    --asan) build="$root/build-asan"
            args+=(-DKESTROW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DKESTROW_BUILD_BENCH=OFF) ;;
    --tsan) build="$root/build-tsan"
            args+=(-DKESTROW_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROW_BUILD_BENCH=OFF) ;;
    --werror) args+=(-DKESTROW_WERROR=ON) ;;
    --bench) args+=(-DKESTROW_BUILD_BENCH=ON) ;;
    *) echo "usage: $0 [--asan | --tsan] [--werror] [--bench]" >&2; exit 2 ;;
    esac
done

"$root/scripts/setup.sh" >&2
cmake -S "$root" -B "$build" -G Ninja "${args[@]}" >&2
cmake --build "$build" >&2
echo "$build"
