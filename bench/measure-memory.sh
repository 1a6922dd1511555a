#!/usr/bin/env bash
# The running program's resident memory with 50 followed nodes on a local server (pages with realistic text, a server
# that answers 304 while a page is unchanged), on an X display with a tray:
#   idle   started on data whose history holds the pages' tasks, after SECONDS (600 by default) of passes every
#          3 minutes (the first-start default);
#   large  a first pass over 50 pages of 2,000 rows (100,000 new tasks): the peak, then after the popup is closed
#          (its close button, clicked) and one more pass has run.
#   bench/measure-memory.sh [BUILD_DIR] [SECONDS]
# Needs Xvfb, trayer and xdotool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-600}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
source "$root/bench/measure-common.sh"
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="kestrow.scan.debug=true"
Xvfb -displayfd 3 -screen 0 1280x800x24 3> "$work/display" > /dev/null 2>&1 &
until [ -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
trayer --edge bottom --align right > /dev/null 2>&1 &
sleep 1
passes() { grep -c "pass started" "$1" || true; }
# The popups (230 x 130) of process pid.
popups() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$1" || true); do
        [ "$(xdotool getwindowgeometry "$window" | grep -c 230x130)" -gt 0 ] && echo "$window"
    done
    return 0
}

# Idle: a first run stores the pages' tasks; the measured one starts on that data (no idle run for SECONDS 0).
if [ "$seconds" -gt 0 ]; then
    mkdir -p "$work/idle"
    export XDG_DATA_HOME="$work/idle/data" XDG_CONFIG_HOME="$work/idle/config"
    start_page_server "$work/idle" realistic 304
    prepare_user_db 0 180
    "$build/src/app/kestrow" > "$work/idle-first.log" 2>&1 &
    pid=$!
    wait_for_line "$work/idle-first.log" "pass found" "$pid"
    # Until the pass has stored its tasks.
    until python3 -c 'import sqlite3, sys; sys.exit(sqlite3.connect(sys.argv[1]).execute(
            "SELECT COUNT(*) FROM tb_history_task").fetchone()[0] < 10000)' "$XDG_DATA_HOME/Kestrow/udb.dll"; do
        sleep 0.2
    done
    stop "$pid"
    "$build/src/app/kestrow" > "$work/idle.log" 2>&1 &
    pid=$!
    sleep "$seconds"
    echo "idle, 50 nodes, after $seconds s ($(passes "$work/idle.log") passes): $(resident_mb "$pid") MB resident"
    stop "$pid" "$server"
fi

# Large: 100,000 new tasks in the first pass, then the popup closed.
mkdir -p "$work/large"
export XDG_DATA_HOME="$work/large/data" XDG_CONFIG_HOME="$work/large/config"
start_page_server "$work/large" realistic 304 2000
prepare_user_db 0 30
"$build/src/app/kestrow" > "$work/large.log" 2>&1 &
pid=$!
wait_for_line "$work/large.log" "pass found" "$pid"
sleep 3
echo "large first pass ($(grep -o 'pass found [0-9]*' "$work/large.log")): peak" \
     "$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status") MB, $(resident_mb "$pid") MB with the popup open"
popup=$(popups "$pid" | sed -n 1p)
[ -n "$popup" ] || { echo "no popup to close" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$popup")"
xdotool mousemove $((X + 230 - 13)) $((Y + 13)) click 1
done_before=$(passes "$work/large.log")
until [ "$(passes "$work/large.log")" -gt "$done_before" ]; do sleep 0.5; done
sleep 5
echo "  after closing the popup ($(popups "$pid" | wc -l) left open) and one more pass: $(resident_mb "$pid") MB resident"
stop "$pid" "$server"
