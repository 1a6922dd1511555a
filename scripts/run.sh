#!/usr/bin/env bash
# Builds Kestrow and starts it on the demo catalogue, with a demo data directory of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" | tail -n 1)

if [ ! -x "$build/src/app/kestrow" ]; then
    cat <<MSG
Kestrow's foundation is built in $build, but the program itself is not written yet.
When it is, this command will start a demo task site on 127.0.0.1, then Kestrow in the tray with a
separate demo data directory and the demo nodes already followed, so new tasks pop up within seconds.
MSG
    exit 0
fi
exec "$build/src/app/kestrow" "$@"
