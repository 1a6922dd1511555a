#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a while.
#   scripts/fuzz.sh [SECONDS] [TARGET...]    (default 60 seconds each; default targets: all six)
#   scripts/fuzz.sh --runs N [TARGET...]     N inputs each from a fixed seed, the same on every machine (CI)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=(-max_total_time=60)
if [ "${1:-}" = "--runs" ]; then
    limit=(-runs="$2" -seed=1)
    shift 2
elif [ $# -gt 0 ]; then
    limit=(-max_total_time="$1")
    shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_pages fuzz_feeds fuzz_reportframe fuzz_catalog fuzz_codec fuzz_tokenizer)
"$root/scripts/setup.sh"
if ! command -v clang++ >/dev/null; then
    echo "Installing clang for libFuzzer"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y --no-install-recommends clang libclang-rt-dev
fi
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROW_FUZZ=ON -DKESTROW_BUILD_TESTS=OFF -DKESTROW_BUILD_BENCH=OFF
cmake --build "$root/build-fuzz" --target "${targets[@]}"
for target in "${targets[@]}"; do
    # New inputs go to the build folder's corpus; the committed seeds (when a target has them) are read only.
    corpora=("$root/build-fuzz/corpus/$target")
    [ -d "$root/tests/fuzz/seeds/$target" ] && corpora+=("$root/tests/fuzz/seeds/$target")
    mkdir -p "${corpora[0]}"
    # Pages go past 4 MiB, where decoding takes its other path.
    maxLength=65536
    [ "$target" = fuzz_pages ] && maxLength=5000000
    "$root/build-fuzz/tests/fuzz/$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$maxLength" "${corpora[@]}"
done
