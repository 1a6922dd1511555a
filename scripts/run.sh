#!/usr/bin/env bash
# Builds Kestrow and starts it on the demo catalogue: the demo task sites on 127.0.0.1:8731, and Kestrow with a
# demo data directory of its own (your own history is never touched) that follows every demo node.
# With --vendor it also starts a demo vendor server (kestrow-vendor on 127.0.0.1:8733 and 8734) offering version
# 2.0.1, an About message and a signed demo package, and points Kestrow at it.
# With --push URL every announced batch also goes to the webhook URL; the demo sites print what comes to their own,
# http://127.0.0.1:8731/push, in their log.
# Other arguments are passed on to Kestrow (e.g. "show"). Quit from the tray menu, or with Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vendor=false
push=()
args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --vendor) vendor=true ;;
    --push)
        [ $# -ge 2 ] || { echo "run.sh: --push takes a webhook address" >&2; exit 2; }
        push=(--push "$2")
        shift
        ;;
    *) args+=("$1") ;;
    esac
    shift
done
build=$("$root/scripts/build.sh" | tail -n 1)

demo="$build/demo"
mkdir -p "$demo/data"
export XDG_DATA_HOME="$demo/data"
"$build/tools/demo-site/kestrow-demo-site" --follow "$build/src/app/sdb.dll" ${push[@]+"${push[@]}"}

"$build/tools/demo-site/kestrow-demo-site" --new-every 45 > "$demo/site.log" 2>&1 &
site=$!
app=
server=
trap 'kill $app "$site" $server 2>/dev/null || true' EXIT INT TERM
# Kestrow without its demo sites would only show failing nodes: wait until they serve, or stop here.
for _ in $(seq 100); do
    grep -q "^demo task sites on" "$demo/site.log" && break
    if ! kill -0 "$site" 2>/dev/null; then
        echo "run.sh: the demo task sites did not start:" >&2
        sed 's/^/  /' "$demo/site.log" >&2
        echo "run.sh: is another demo still running? Quit its Kestrow (tray menu, \"退出\") and try again." >&2
        exit 1
    fi
    sleep 0.1
done
echo "Demo task sites on $(sed -n 's/^demo task sites on //p' "$demo/site.log"); their log: $demo/site.log"
[ ${#push[@]} -eq 0 ] || echo "Every batch is also pushed to ${push[1]} (what comes to the demo's own webhook: tail -f $demo/site.log)"

if $vendor; then
    folder="$demo/vendor"
    tool="$build/tools/vendor/kestrow-vendor"
    mkdir -p "$folder"
    [ -f "$folder/update-key.pem" ] || "$tool" keygen "$folder" > "$folder/update-key.pub"
    echo "2.0.1" > "$folder/var.txt"
    printf '%s\n' "Kestrow 2.0.1 is out: per-node health and quiet hours." "This message comes from the demo vendor server." \
        > "$folder/aboutmsg.txt"
    echo "The Kestrow 2.0.1 demo package." > "$folder/KestrowSetup.deb"
    "$tool" sign "$folder/update-key.pem" "$folder/KestrowSetup.deb"
    "$tool" serve "$folder" --http-port 8733 --report-port 8734 > "$demo/vendor.log" 2>&1 &
    server=$!
    export KESTROW_VENDOR_HOST=127.0.0.1 KESTROW_VENDOR_HTTP_PORT=8733 KESTROW_REPORT_PORT=8734
    KESTROW_UPDATE_PUBKEY=$(cat "$folder/update-key.pub")
    export KESTROW_UPDATE_PUBKEY
    echo "Demo vendor server on 127.0.0.1:8733 (log $demo/vendor.log); see its reports with"
    echo "  $tool reports $folder/reports.db"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): Kestrow runs without a screen and prints"
    echo "every task it announces. New demo tasks appear about every 45 s; Kestrow looks every 30 s. Ctrl+C stops."
    export QT_QPA_PLATFORM=offscreen
    export QT_LOGGING_RULES="kestrow.app.debug=true"
fi
"$build/src/app/kestrow" ${args[@]+"${args[@]}"} &
app=$!
wait "$app"
