#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs the page fuzzer.
#   scripts/fuzz.sh [SECONDS]   (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
"$root/scripts/setup.sh"
if ! command -v clang++ >/dev/null; then
    echo "Installing clang for libFuzzer"
    apt-get install -y --no-install-recommends clang libclang-rt-dev
fi
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROW_FUZZ=ON -DKESTROW_BUILD_TESTS=OFF -DKESTROW_BUILD_BENCH=OFF
cmake --build "$root/build-fuzz" --target fuzz_pages
mkdir -p "$root/build-fuzz/corpus"
"$root/build-fuzz/tests/fuzz/fuzz_pages" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
    -max_len=65536 "$root/build-fuzz/corpus"
