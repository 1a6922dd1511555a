#!/usr/bin/env bash
# Builds Kestrow and starts it on the demo catalogue: the demo task sites on 127.0.0.1:8731, and Kestrow with a
# demo data directory of its own (your own history is never touched) that follows every demo node.
# Arguments are passed on to Kestrow (e.g. "show"). Quit from the tray menu, or with Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" | tail -n 1)

demo="$build/demo"
mkdir -p "$demo/data"
export XDG_DATA_HOME="$demo/data"
"$build/tools/demo-site/kestrow-demo-site" --follow "$build/src/app/sdb.dll"

"$build/tools/demo-site/kestrow-demo-site" --new-every 45 > "$demo/site.log" 2>&1 &
site=$!
app=
trap 'kill $app "$site" 2>/dev/null || true' EXIT INT TERM

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): Kestrow runs without a screen and prints"
    echo "every task it announces. New demo tasks appear about every 45 s; Kestrow looks every 30 s. Ctrl+C stops."
    export QT_QPA_PLATFORM=offscreen
    export QT_LOGGING_RULES="kestrow.app.debug=true"
fi
"$build/src/app/kestrow" "$@" &
app=$!
wait "$app"
