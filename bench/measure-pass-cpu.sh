#!/usr/bin/env bash
# The CPU time the running program spends on one scan pass: 50 followed pages on a local web server (200 rows and
# about 100 KB each, sent gzip-compressed), 100,000 rows of history, nothing new on the pages. Reads the process's
# utime + stime from /proc/PID/stat over ten passes after the first (which stores the pages' tasks).
#   bench/measure-pass-cpu.sh [BUILD_DIR]
# With PERF=FILE set, perf records the program over those ten passes into FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="kestrow.scan.debug=true"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# The site file for the 50 nodes, and the server of their pages.
cat > "$work/server.py" <<'PY'
import gzip, http.server, json, os, sys, threading
work, port = sys.argv[1], int(sys.argv[2])
os.makedirs(f"{work}/config/kestrow/sites")
markers = {"table": ["<table class=\"tasks\">", "</table>"], "row": ["<tr class=\"task\">", "</tr>"],
           "url": ["href=\"", "\""], "title": ["<span class=\"title\">", "</span>"],
           "price": ["<td class=\"price\">", "</td>"]}
site = {"name": "测速站", "nodes": [{"name": f"node{n}", "url": f"http://127.0.0.1:{port}/node{n}", "markers": markers}
                                    for n in range(50)]}
json.dump({"sites": [site]}, open(f"{work}/config/kestrow/sites/measure.json", "w"), ensure_ascii=False)
filler = ("<div class=\"task-meta\"><span class=\"tag\">品牌设计</span><span class=\"time\">2026-12-06</span>"
          "</div>\n")
def page(n):
    rows = []
    for serial in range(n * 200, n * 200 + 200):
        row = (f"<tr class=\"task\"><td><a href=\"/task/{serial}\"><span class=\"title\">企业网站建设 &amp; Logo 设计 "
               f"#{serial}</span></a></td><td class=\"price\">&yen; {100 + serial % 9000} 元</td><td>")
        while len(row.encode()) < 400:
            row += filler
        rows.append(row + "</td></tr>\n")
    html = "<html><head><meta charset=\"utf-8\"></head><body><table class=\"tasks\">\n" + "".join(rows)
    return gzip.compress((html + "</table></body></html>").encode(), 6)
pages = {f"/node{n}": page(n) for n in range(50)}
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def do_GET(self):
        body = pages.get(self.path, b"")
        self.send_response(200 if body else 404)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
PY
python3 "$work/server.py" "$work" "$port" &
until (exec 3<> "/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.1; done

# A first start makes the user database; then 100,000 rows of other tasks and the 50 nodes followed, every 2 s.
"$build/src/app/kestrow" > "$work/first.log" 2>&1 &
for _ in $(seq 100); do
    python3 -c 'import sqlite3, sys; sqlite3.connect(sys.argv[1]).execute("SELECT 1 FROM tb_node_status")' \
        "$XDG_DATA_HOME/Kestrow/udb.dll" 2>/dev/null && break
    sleep 0.1
done
kill $! 2>/dev/null; wait $! 2>/dev/null || true
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

"$build/src/app/kestrow" > "$work/run.log" 2>&1 &
pid=$!
passes() { grep -c "pass started" "$work/run.log" || true; }
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
until [ "$(passes)" -ge 2 ]; do sleep 0.05; done
before=$(cpu)
recorder=
if [ -n "${PERF:-}" ]; then
    perf record -e cpu-clock -F 2000 -g -p "$pid" -o "$PERF" > /dev/null 2>&1 &
    recorder=$!
fi
until [ "$(passes)" -ge 12 ]; do sleep 0.05; done
after=$(cpu)
if [ -n "$recorder" ]; then
    kill -INT "$recorder"
    wait "$recorder" || true
fi
ticks=$(getconf CLK_TCK)
grep -q "pass found" "$work/run.log" || { echo "the first pass found no tasks: the pages were not cut" >&2; exit 1; }
echo "CPU per unchanged pass (50 pages, 100,000 history rows): $(( (after - before) * 1000 / ticks / 10 )) ms" \
     "(over 10 passes; $(grep -c 'pass found' "$work/run.log") pass(es) with new tasks)"
kill "$pid"; wait "$pid" 2>/dev/null || true
