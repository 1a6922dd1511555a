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
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="kestrow.scan.debug=true"

# The server of the 50 pages, and the site file for their nodes. GET /bytes tells how many bytes it has sent.
cat > "$work/server.py" <<'PY'
import gzip, http.server, json, os, random, sys, threading
work, port, kind, answer = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
os.makedirs(f"{work}/config/kestrow/sites", exist_ok=True)
markers = {"table": ["<table class=\"tasks\">", "</table>"], "row": ["<tr class=\"task\">", "</tr>"],
           "url": ["href=\"", "\""], "title": ["<span class=\"title\">", "</span>"],
           "price": ["<td class=\"price\">", "</td>"]}
site = {"name": "测速站", "nodes": [{"name": f"node{n}", "url": f"http://127.0.0.1:{port}/node{n}", "markers": markers}
                                    for n in range(50)]}
json.dump({"sites": [site]}, open(f"{work}/config/kestrow/sites/measure.json", "w"), ensure_ascii=False)
filler = ("<div class=\"task-meta\"><span class=\"tag\">品牌设计</span><span class=\"time\">2026-12-06</span>"
          "</div>\n")
common = [chr(c) for c in range(0x4E00, 0x4E00 + 3000)]
def row(serial, words):
    if kind == "benchmark":
        text = f"企业网站建设 &amp; Logo 设计 #{serial}"
    else:
        text = "".join(words.choice(common) for _ in range(60))
    html = (f"<tr class=\"task\"><td><a href=\"/task/{serial}\"><span class=\"title\">{text}</span></a></td>"
            f"<td class=\"price\">&yen; {100 + serial % 9000} 元</td><td>")
    if kind == "benchmark":
        while len(html.encode()) < 400:
            html += filler
    else:
        html += f"<span class=\"time\">2026-12-{1 + serial % 28:02d}</span>"
    return html + "</td></tr>\n"
def page(n):
    words = random.Random(n)
    rows = "".join(row(serial, words) for serial in range(n * 200, n * 200 + 200))
    html = f"<html><head><meta charset=\"utf-8\"></head><body><table class=\"tasks\">\n{rows}</table></body></html>"
    return gzip.compress(html.encode(), 6)
pages = {f"/node{n}": page(n) for n in range(50)}
sent = 0
lock = threading.Lock()
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def do_GET(self):
        global sent
        if self.path == "/bytes":
            body = str(sent).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        body = pages.get(self.path, b"")
        tag = f"\"{hash(body) & 0xffffffff:x}\""
        status = 200 if body else 404
        if answer == "304" and body and self.headers.get("If-None-Match") == tag:
            status, body = 304, b""
        head = f"HTTP/1.1 {status} X\r\nContent-Type: text/html; charset=utf-8\r\n"
        if status != 304:
            head += f"Content-Encoding: gzip\r\nContent-Length: {len(body)}\r\n"
        if answer == "304":
            head += f"ETag: {tag}\r\nLast-Modified: Sun, 06 Dec 2026 12:00:00 GMT\r\n"
        data = (head + "\r\n").encode() + body
        self.wfile.write(data)
        with lock:
            sent += len(data)
    def log_message(self, *args):
        pass
print(sum(map(len, pages.values())) // 50, flush=True)
http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
PY

ticks=$(getconf CLK_TCK)
sent() { curl -s "http://127.0.0.1:$port/bytes"; }
measure() {
    local kind=$1 answer=$2 run="$work/$1-$2"
    export XDG_DATA_HOME="$run/data" XDG_CONFIG_HOME="$run/config"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 "$work/server.py" "$run" "$port" "$kind" "$answer" > "$run.size" &
    local server=$!
    until (exec 3<> "/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.1; done

    # A first start makes the user database; then 100,000 rows of other tasks and the 50 nodes followed, every 2 s.
    "$build/src/app/kestrow" > "$run.first.log" 2>&1 &
    local pid=$!
    for _ in $(seq 100); do
        python3 -c 'import sqlite3, sys; sqlite3.connect(sys.argv[1]).execute("SELECT 1 FROM tb_node_status")' \
            "$XDG_DATA_HOME/Kestrow/udb.dll" 2>/dev/null && break
        sleep 0.1
    done
    kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
    python3 - "$XDG_DATA_HOME/Kestrow/udb.dll" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executemany("INSERT INTO tb_history_task(task_time, attr_mark, idxid, site_name, note_name, task_name, task_price, "
               "task_url, note_url) VALUES(strftime('%s','now'), 0, 0, '测速站', ?, ?, ?, ?, '')",
               ((f"node{i % 50}", f"历史任务 {i}", f"{i % 5000}元", f"http://127.0.0.1/old/{i}") for i in range(100000)))
db.execute("DELETE FROM tb_attention")
db.executemany("INSERT INTO tb_attention VALUES('测速站', ?)", ((f"node{n}",) for n in range(50)))
db.execute("DELETE FROM tb_config WHERE ckey = 'scan_interval'")
db.execute("INSERT INTO tb_config VALUES('scan_interval', '2')")
db.commit()
PY

    "$build/src/app/kestrow" > "$run.log" 2>&1 &
    pid=$!
    passes() { grep -c "pass started" "$run.log" || true; }
    cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
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
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$kind pages ($(cat "$run.size") bytes gzipped), server answering $answer:" \
         "$(( (after - before) * 1000 / ticks / 10 )) ms CPU per unchanged pass, $bytes bytes sent per pass" \
         "(over 10 passes; $(grep -c 'pass found' "$run.log") pass(es) with new tasks)"

    # The floor: curl fetching and inflating the same 50 pages, ten times over.
    local urls=()
    for n in $(seq 0 49); do urls+=(-o /dev/null "http://127.0.0.1:$port/node$n"); done
    local start
    start=$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)
    for _ in $(seq 10); do curl -s --compressed "${urls[@]}"; done
    echo "  curl floor: $(( ($(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat) - start) * 1000 / ticks / 10 )) ms" \
         "CPU per 50 pages"
    kill "$server"; wait "$server" 2>/dev/null || true
}
mkdir -p "$work"
for (( i = 0; i < ${#runs[@]}; i += 2 )); do
    mkdir -p "$work/${runs[i]}-${runs[i+1]}"
    measure "${runs[i]}" "${runs[i+1]}"
done
