#!/usr/bin/env python3
"""The local web server of the pass and memory measurements: 50 task-list pages of ROWS rows (200 by default), sent
gzip-compressed, and the site file for their nodes in WORK/config/kestrow/sites. KIND "benchmark" pages repeat one
phrase (about 95 KB); "realistic" ones have 60 characters of varied Chinese a row (about 25 KB compressed). ANSWER
"200" sends no validators and answers every request whole; "304" sends ETag and Last-Modified and answers 304 while
the page is unchanged. GET /bytes tells how many bytes it has sent. Prints the average compressed page size.
    pageserver.py WORK PORT KIND ANSWER [ROWS]"""
import gzip, http.server, json, os, random, sys, threading
work, port, kind, answer = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
rows_per_page = int(sys.argv[5]) if len(sys.argv) > 5 else 200
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
    rows = "".join(row(serial, words) for serial in range(n * rows_per_page, (n + 1) * rows_per_page))
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
