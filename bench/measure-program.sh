#!/usr/bin/env bash
# Measures the running program on the demo sites: time from process start to the tray icon, and resident memory
# after start and after 100 scan passes (one pass a second). Needs a display; run it under Xvfb with a tray, e.g.
#   Xvfb :99 & trayer --edge bottom --align right & DISPLAY=:99 bench/measure-program.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"
"$build/tools/demo-site/kestrow-demo-site" --follow "$build/src/app/sdb.dll" > /dev/null
"$build/tools/demo-site/kestrow-demo-site" --new-every 5 > "$work/site.log" 2>&1 &
sleep 0.5
export QT_LOGGING_RULES="kestrow.app.debug=true;kestrow.scan.debug=true"

# Start-up: five runs, each from spawn to the "tray icon shown" line.
for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$build/src/app/kestrow" > "$work/start.log" 2>&1 &
    pid=$!
    until grep -q "tray icon shown" "$work/start.log"; do sleep 0.005; done
    echo "start to tray icon, run $run: $(( ($(date +%s%N) - start) / 1000000 )) ms"
    kill "$pid"; wait "$pid" 2>/dev/null || true
done

# Memory: one pass a second, 100 passes, on a fresh user database so that the first pass shows the popup.
export XDG_DATA_HOME="$work/data2"
"$build/tools/demo-site/kestrow-demo-site" --follow "$build/src/app/sdb.dll" 1 > /dev/null
"$build/src/app/kestrow" > "$work/run.log" 2>&1 &
pid=$!
passes() { grep -c "pass started" "$work/run.log" || true; }
until [ "$(passes)" -ge 1 ]; do sleep 0.1; done
sleep 2
echo "resident memory after start: $(awk '/VmRSS/ {print $2, $3}' /proc/$pid/status) (after $(passes) passes)"
until [ "$(passes)" -ge 101 ]; do sleep 0.5; done
echo "resident memory after 100 more passes: $(awk '/VmRSS/ {print $2, $3}' /proc/$pid/status)" \
     "($(grep -c 'new task' "$work/run.log") tasks announced)"
kill "$pid"; wait "$pid" 2>/dev/null || true
