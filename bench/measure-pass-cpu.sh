#!/usr/bin/env bash
# The CPU time the running program spends on one scan pass: 50 followed pages on a local web server (200 rows each,
# sent gzip-compressed), 100,000 rows of history, nothing new on the pages. Reads the process's utime + stime from
# /proc/PID/stat over ten passes after the first (which stores the pages' tasks), for each kind of page and server:
#   benchmark  the benchmark's own pages (about 95 KB, one phrase repeated)
#   realistic  60 characters of varied Chinese a row (about 25 KB compressed)
#   200        a server that sends no validators and answers every request whole
#   304        one that sends ETag and Last-Modified and answers 304 while the page is unchanged
# and the floor: curl receiving and inflating the same 50 pages, and the bytes a site sends per pass.
#   bench/measure-pass-cpu.sh [BUILD_DIR] [PAGES ANSWER ...]      (default: every pair)
# With PERF=FILE set, perf records the program over those ten passes into FILE-PAGES-ANSWER.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(benchmark 200 benchmark 304 realistic 200 realistic 304)
[ $(( ${#runs[@]} % 2 )) -eq 0 ] || { echo "usage: $0 [BUILD_DIR] [PAGES ANSWER ...]" >&2; exit 2; }
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="kestrow.scan.debug=true"
source "$root/bench/measure-common.sh"

ticks=$(getconf CLK_TCK)
sent() { curl -s "http://127.0.0.1:$port/bytes"; }
measure() {
    local kind=$1 answer=$2 run="$work/$1-$2" port server
    export XDG_DATA_HOME="$run/data" XDG_CONFIG_HOME="$run/config"
    start_page_server "$run" "$kind" "$answer"
    # 100,000 rows of other tasks in the history, the 50 nodes followed, every 2 s.
    prepare_user_db 100000 2

    "$build/src/app/kestrow" > "$run.log" 2>&1 &
    pid=$!
    passes() { grep -c "pass started" "$run.log" || true; }
    cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    wait_for_line "$run.log" "pass started" "$pid"
    until [ "$(passes)" -ge 2 ]; do sleep 0.05; done
    local before bytes recorder=
    before=$(cpu) bytes=$(sent)
    if [ -n "${PERF:-}" ]; then
        perf record -e cpu-clock -F 2000 -g -p "$pid" -o "$PERF-$kind-$answer" > /dev/null 2>&1 &
        recorder=$!
    fi
    until [ "$(passes)" -ge 12 ]; do sleep 0.05; done
    local after
    after=$(cpu)
    bytes=$(( ($(sent) - bytes) / 10 ))
    if [ -n "$recorder" ]; then
        kill -INT "$recorder"
        wait "$recorder" || true
    fi
    grep -q "pass found" "$run.log" || { echo "the first pass found no tasks: the pages were not cut" >&2; exit 1; }
    stop "$pid"
    echo "$kind pages ($(cat "$run.size") bytes gzipped), server answering $answer:" \
         "$(( (after - before) * 1000 / ticks / 10 )) ms CPU per unchanged pass, $bytes bytes sent per pass" \
         "(over 10 passes; $(grep -c 'pass found' "$run.log") pass(es) with new tasks)"

    # The floor: curl fetching and inflating the same 50 pages, less what starting curl costs (ten runs of each).
    python3 - "$port" <<'PY'
import resource, subprocess, sys
port = sys.argv[1]
def cpu(args):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    for _ in range(10):
        subprocess.run(args, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 100
pages = ["curl", "-s", "--compressed"]
for n in range(50):
    pages += ["-o", "/dev/null", f"http://127.0.0.1:{port}/node{n}"]
start = ["curl", "-s", "-o", "/dev/null", f"http://127.0.0.1:{port}/none"]
print(f"  curl floor: {cpu(pages) - cpu(start):.0f} ms CPU per 50 pages")
PY
    stop "$server"
}
mkdir -p "$work"
for (( i = 0; i < ${#runs[@]}; i += 2 )); do
    mkdir -p "$work/${runs[i]}-${runs[i+1]}"
    measure "${runs[i]}" "${runs[i+1]}"
done
