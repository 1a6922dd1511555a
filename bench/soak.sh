#!/usr/bin/env bash
# Memory soak and start measurement of the whole program (offscreen, local sites): builds the benchmarks, then prints
# the resident memory every 100 passes over PASSES passes (default 2,100) and the start-to-first-batch times.
#   bench/soak.sh [PASSES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" --bench | tail -n 1)
"$build/bench/soak" "${1:-2100}" 2> /dev/null
"$build/bench/soak" --first-batch 2> /dev/null
