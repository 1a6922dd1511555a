# Shared by the measurements of the running program (sourced): a local page server and a prepared user database.
# Expects root and build to be set.

# Starts bench/pageserver.py for folder run (KIND ANSWER [ROWS] as it takes them) on a free port, sets port and
# server (its pid), and waits until it listens; its page size goes to run.size.
start_page_server() {
    local run=$1
    shift
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 "$root/bench/pageserver.py" "$run" "$port" "$@" > "$run.size" &
    server=$!
    until (exec 3<> "/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
        kill -0 "$server" 2>/dev/null || { echo "the page server did not start" >&2; exit 1; }
        sleep 0.1
    done
}

# Waits until the log file says text, failing when process pid has ended first.
wait_for_line() {
    local log=$1 text=$2 pid=$3
    until grep -q "$text" "$log"; do
        kill -0 "$pid" 2>/dev/null || { echo "the program ended before \"$text\" ($log)" >&2; exit 1; }
        sleep 0.1
    done
}

# Stops the processes given, whether or not they are still running.
stop() {
    kill "$@" 2>/dev/null || true
    wait "$@" 2>/dev/null || true
}

# Lets a first start make the user database in $XDG_DATA_HOME, then adds HISTORY rows of other tasks, follows the 50
# nodes and sets the scan interval to INTERVAL seconds.
prepare_user_db() {
    local history=$1 interval=$2 db="$XDG_DATA_HOME/Kestrow/udb.dll"
    "$build/src/app/kestrow" > /dev/null 2>&1 &
    local first=$!
    for _ in $(seq 100); do
        python3 -c 'import sqlite3, sys; sqlite3.connect(sys.argv[1]).execute("SELECT 1 FROM tb_node_status")' \
            "$db" 2>/dev/null && break
        sleep 0.1
    done
    stop $first
    python3 - "$db" "$history" "$interval" <<'PY'
import sqlite3, sys
db, history, interval = sqlite3.connect(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
db.executemany("INSERT INTO tb_history_task(task_time, attr_mark, idxid, site_name, note_name, task_name, task_price, "
               "task_url, note_url) VALUES(strftime('%s','now'), 0, 0, '测速站', ?, ?, ?, ?, '')",
               ((f"node{i % 50}", f"历史任务 {i}", f"{i % 5000}元", f"http://127.0.0.1/old/{i}") for i in range(history)))
db.execute("DELETE FROM tb_attention")
db.executemany("INSERT INTO tb_attention VALUES('测速站', ?)", ((f"node{n}",) for n in range(50)))
db.execute("DELETE FROM tb_config WHERE ckey = 'scan_interval'")
db.execute("INSERT INTO tb_config VALUES('scan_interval', ?)", (interval,))
db.commit()
PY
}

# The resident memory of process pid, in MB.
resident_mb() {
    awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"
}
