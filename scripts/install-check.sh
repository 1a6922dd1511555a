#!/usr/bin/env bash
# Installs the Debian package on this machine and meets it as a user would, then removes it again:
#   apt-get install ./kestrow_*.deb; kestrow --version from PATH; the catalogue found through /usr/bin's link; the
#   shipped catalogue holds no site; the installed desktop entry's Exec started under Xvfb with a tray (trayer) on the
#   demo sites added as the user's own, and a screenshot;
#   apt-get remove, after which the program's files are gone and the users' data (~/.local/share/Kestrow) is as it was.
# Usage: scripts/install-check.sh [SCREENSHOT.png]   (default build-package/installed-desktop.png)
# Builds the package with scripts/package.sh first. Needs root or sudo; refuses when kestrow is installed already.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
package=$("$root/scripts/package.sh" | tail -n 1)
build=$(dirname "$package")
screenshot=${1:-$build/installed-desktop.png}
id=$(sed -n 's/^set(KESTROW_APP_ID \(.*\))$/\1/p' "$root/CMakeLists.txt")
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
fail() { echo "install-check: $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${Status}' kestrow 2>/dev/null | grep -q 'install ok installed'; }
installed && fail "kestrow is installed already; remove it first (its users' data stays)"

work=$(mktemp -d)
home="$work/home"
mkdir -p "$home" "$work/run"
chmod 700 "$work/run"
# Everything the program and the demo do as "the user" happens in a home of their own.
as_user=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$work/run")
pids=()
we_installed=false
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if $we_installed && installed; then "${sudo[@]}" apt-get remove -y -qq kestrow > /dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
# The data of this machine's own user, fingerprinted before and after; never written.
fingerprint() {
    local data="$1/.local/share/Kestrow"
    if [ -d "$data" ]; then (cd "$data" && find . -type f -print0 | sort -z | xargs -0r sha256sum); else echo none; fi
}
own_before=$(fingerprint "$HOME")

echo "== apt-get install $package"
we_installed=true
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" > "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
installed || fail "not installed"
depends=$(dpkg-query -W -f='${Depends}' kestrow)
echo "Depends: $depends"
# The vendor's server is not the user's: neither it nor its HTTP server library comes with the package.
[[ "$depends" != *httpserver* ]] || fail "the package depends on Qt HTTP Server"

echo "== the installed commands"
[ "$(command -v kestrow)" = /usr/bin/kestrow ] || fail "kestrow is not /usr/bin/kestrow on PATH"
version=$(kestrow --version)
echo "$version"
[ "$version" = "Kestrow $(dpkg-query -W -f='${Version}' kestrow | cut -d- -f1)" ] || fail "wrong version: $version"
kestrow-catalog --help > /dev/null || fail "kestrow-catalog --help failed"
status=0
kestrow --no-such-option 2> /dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option exits $status, not 2"
desktop="/usr/share/applications/$id.desktop"
for file in "$desktop" "/usr/share/metainfo/$id.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "/usr/share/icons/hicolor/256x256/apps/$id.png" /usr/share/man/man1/kestrow.1.gz /usr/lib/kestrow/sdb.dll; do
    [ -f "$file" ] || fail "$file is not installed"
done
[ ! -e /usr/lib/kestrow/kestrow-vendor ] || fail "kestrow-vendor is installed"
man -l /usr/share/man/man1/kestrow.1.gz 2> /dev/null | grep -q "kestrow-catalog" || fail "the manual page does not read"
man -l /usr/share/man/man1/kestrow-catalog.1.gz 2> /dev/null | grep -q '{"sites": *\[{"name"' ||
    fail "kestrow-catalog's manual page loses the quotes of its JSON"
# The package watches no site of its own until real ones are added: no demo address that would only fail.
kestrow-catalog dump /usr/lib/kestrow/sdb.dll | grep -q 127.0.0.1 && fail "the shipped catalogue holds demo sites"
[ "$(grep -c '^Categories=' "$desktop")" -eq 1 ] && grep -q '^Categories=Network;$' "$desktop" ||
    fail "the desktop entry is not in exactly one menu category"

echo "== the desktop entry's Exec under Xvfb with a tray"
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -n 1 | sed 's/ %[fFuUick]//g')
echo "Exec=$exec_line"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
trayer --edge top --align right --widthtype request --height 28 --tint 0x303030 --transparent true --alpha 0 \
    > /dev/null 2>&1 &
pids+=($!)
sleep 1
# The demo sites, when the package was built here, so the popup has tasks to show: added as the user's own sites, as
# a user adds a site with kestrow-catalog, and followed.
demo_site="$build/tools/demo-site/kestrow-demo-site"
if [ -x "$demo_site" ]; then
    "${as_user[@]}" kestrow-catalog add "$root/examples/demo/catalog.json" > /dev/null
    "${as_user[@]}" "$demo_site" --follow "$build/src/app/sdb.dll" 5 --data "$home/.local/share" > /dev/null
    "$demo_site" --new-every 20 > "$work/site.log" 2>&1 &
    pids+=($!)
    sleep 0.5
    grep -q "^demo task sites on" "$work/site.log" || echo "(the demo port is taken: $(cat "$work/site.log"))"
fi
# shellcheck disable=SC2086 # the Exec line is split into words as a desktop would
"${as_user[@]}" QT_LOGGING_RULES="kestrow.app.debug=true" $exec_line > "$work/kestrow.log" 2>&1 &
app=$!
pids+=($app)
for _ in $(seq 200); do grep -q "new task:" "$work/kestrow.log" && break; sleep 0.1; done
sleep 2
kill -0 "$app" 2> /dev/null || { cat "$work/kestrow.log" >&2; fail "the program ended"; }
grep -q "tray icon shown" "$work/kestrow.log" || fail "no tray icon"
grep -q "site catalogue: /usr/lib/kestrow/sdb.dll found" "$work/kestrow.log" ||
    { cat "$work/kestrow.log" >&2; fail "the catalogue beside the real program was not found through the link"; }
echo "tasks announced: $(grep -c "new task:" "$work/kestrow.log" || true)"
xwd -root -silent | convert xwd:- "$screenshot"
echo "screenshot: $screenshot"
kill "$app"
wait "$app" 2> /dev/null || true
[ -f "$home/.local/share/Kestrow/udb.dll" ] || fail "the program stored nothing"
data_before=$(fingerprint "$home")

echo "== apt-get remove"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kestrow > "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get remove failed"; }
installed && fail "still installed"
[ ! -e /usr/bin/kestrow ] && [ ! -e /usr/lib/kestrow ] || fail "files left behind"
[ "$(fingerprint "$home")" = "$data_before" ] || fail "the user's data changed"
[ "$(fingerprint "$HOME")" = "$own_before" ] || fail "$HOME/.local/share/Kestrow changed"
echo "removed; the users' data in ~/.local/share/Kestrow is untouched"
echo "install-check passed in $(($(date +%s) - started)) s"
