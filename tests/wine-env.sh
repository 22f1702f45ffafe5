#!/usr/bin/env bash
# Starts (or stops) what the tests share: a private Wine prefix in the build
# tree, a private X display with a tray host, virtual serial lines mapped as
# COM1, COM2 and COM12, and a kept wineserver. Writes DIR/env for wine-run.sh.
# "server" starts the kept wineserver again after it was stopped.
set -eu
cmd=$1 dir=$(mkdir -p "$2" && cd "$2" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
. "$src/tools/wine.sh"
export WINEPREFIX="$dir/prefix"

stop() {
    for p in vline trayer xvfb; do
        [ -f "$dir/$p.pid" ] || continue
        pid=$(cat "$dir/$p.pid")
        kill "$pid" 2>/dev/null || true
        # the line server removes its links as it ends: wait, or it would
        # remove the links of the next start
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        rm -f "$dir/$p.pid"
    done
    wineserver -k 2>/dev/null || true
    rm -f "$dir/env"
}

# The kept wineserver. Wine's own services start with the first program and
# keep its standard handles (and the desktop process its display) for as long
# as the server lives: start them now with no handles, so a test's output pipe
# closes when the test ends.
start_server() {
    wineserver -p </dev/null >/dev/null 2>&1
    DISPLAY=$display $WINE cmd /c exit </dev/null >/dev/null 2>&1
}

if [ "$cmd" = stop ]; then stop; exit 0; fi
if [ "$cmd" = server ]; then . "$dir/env"; display=$DISPLAY; start_server; exit 0; fi
stop

use_prefix "$WINEPREFIX"
start_private_display "$dir" 1280x1024
echo "$xvfb_pid" >"$dir/xvfb.pid"
echo "$trayer_pid" >"$dir/trayer.pid"
display=$DISPLAY

rm -f "$dir/vline.port"
python3 "$src/tools/vline.py" serve --prefix "$WINEPREFIX" --dir "$dir" \
    --port-file "$dir/vline.port" COM1 COM2 COM12 >"$dir/vline.out" 2>&1 &
echo $! >"$dir/vline.pid"
for _ in $(seq 300); do [ -s "$dir/vline.port" ] && break; sleep 0.1; done
[ -s "$dir/vline.port" ] || { echo "virtual serial lines did not start:"; cat "$dir/vline.out"; exit 1; }

start_server
cat >"$dir/env" <<ENV
export DISPLAY=$display
export WINEPREFIX=$WINEPREFIX
export VLINE_PORT=$(cat "$dir/vline.port")
export VLINE_DIR=$dir
ENV
echo "display $display, serial line control on port $(cat "$dir/vline.port")"
