#!/usr/bin/env bash
# Starts the program under Wine with a serial device on its COM port.
#
#   tools/run.sh [--docs]        (or: make run)
#
# The device is the real tty named by WEDGE_TTY (mapped as WEDGE_PORT, default
# COM1), or else a virtual barcode scanner (tools/vline.py scan) that sends a
# barcode every few seconds.
#
# On a reachable $DISPLAY the program runs until you end it.  With no display
# (or with --docs) it runs on a private X server with a tray host, where
# tools/demo.cpp opens the port, lets scans be typed into Notepad, saves
# screenshots in $BUILD/run/ and ends after WEDGE_RUN_SECONDS (default 20).
# The virtual scanner goes away when asked, for the picture of a lost port.
# --docs also photographs the window at 150 % (Wine's DPI at 144, then back
# at 96) and copies the pictures the docs show to docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine.sh

docs=0
for arg in "$@"; do
    case $arg in
        --docs) docs=1 ;;
        *) echo "usage: $0 [--docs]" >&2; exit 2 ;;
    esac
done

BUILD=${BUILD:-build}
run=$(mkdir -p "$BUILD/run" && cd "$BUILD/run" && pwd)
exe=$(cd "$BUILD" && pwd)/VimoBrindleQV.exe
demo=$(cd "$BUILD" && pwd)/tests/wedge_demo.exe
port=$(echo "${WEDGE_PORT:-COM1}" | tr '[:lower:]' '[:upper:]')

[ -f "$exe" ] || { echo "$exe is missing: run 'make build' first" >&2; exit 1; }

xvfb_pid='' trayer_pid='' scanner_pid=''
cleanup() {
    set +e
    trap '' INT TERM  # a second Ctrl-C must not cut the cleanup short
    # The scanner first: it closes its line and removes its pty links.
    if [ -n "$scanner_pid" ]; then
        kill "$scanner_pid" 2>/dev/null
        wait "$scanner_pid" 2>/dev/null
    fi
    # Ends the program, Notepad and Wine's own services of this prefix only.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    for pid in $trayer_pid $xvfb_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT
# Background jobs of a script ignore Ctrl-C, so the trap has to end them.
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- prefix ----------------------------------------------------------------

private=1
if [ $docs = 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    private=0
else
    start_private_display "$run" 1024x768
fi
# A prefix of our own, so nothing here touches ~/.wine or the tests' prefix.
use_prefix "$run/prefix"
# With no window manager nobody draws the caption and frame: let Wine draw
# them there, and leave them to the window manager on a real display.
reg_has() { grep -qs "$1" "$WINEPREFIX/user.reg"; }
if [ $private = 1 ] && ! reg_has '"Decorated"="N"'; then
    $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
elif [ $private = 0 ] && reg_has '"Decorated"="N"'; then
    $WINE reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1
fi

# ---- device ------------------------------------------------------------------

# Both ways restart the wineserver (Wine reads its port map only as it
# starts), which ends every program of the prefix: so this comes before the
# program starts.
if [ -n "${WEDGE_TTY:-}" ]; then
    [ -c "$WEDGE_TTY" ] || { echo "WEDGE_TTY=$WEDGE_TTY is not a tty" >&2; exit 1; }
    python3 tools/vline.py map --prefix "$WINEPREFIX" "$port=$WEDGE_TTY"
    echo "$port -> $WEDGE_TTY"
else
    # On the private display the demonstration says when Notepad is there to
    # receive the scans, so that none is sent into a closed port.
    wait_for=()
    rm -f "$run/receiving"
    [ $private = 1 ] && wait_for=(--after "$run/receiving" --first-delay 0.5)
    python3 tools/vline.py scan --prefix "$WINEPREFIX" --port "$port" \
        --repeat 0 --pause 3 "${wait_for[@]}" >"$run/scanner.log" 2>&1 &
    scanner_pid=$!
    until grep -qs "start the program now" "$run/scanner.log"; do
        kill -0 "$scanner_pid" 2>/dev/null || {
            echo "the virtual scanner did not start:" >&2; cat "$run/scanner.log" >&2; exit 1; }
        sleep 0.1
    done
    echo "virtual scanner on $port, a barcode every 3 s (log: $run/scanner.log)"
    # The demonstration unplugs it by making this file; the watch ends with it.
    rm -f "$run/unplug"
    [ $private = 1 ] && (while [ ! -f "$run/unplug" ]; do
        kill -0 "$scanner_pid" 2>/dev/null || exit 0
        sleep 0.2
    done; kill "$scanner_pid") &
fi

# ---- start -------------------------------------------------------------------

# A wineserver started by the program would write a dump of all its objects
# into the program's log as it is ended: start it first, with no output.  The
# program's output goes to a file: Wine's services, started with it, keep
# its standard handles open for as long as the wineserver lives.
wineserver -p </dev/null >/dev/null 2>&1

if [ $private = 1 ]; then
    echo "Brindlequaverly is starting on the private display $DISPLAY."
    rm -f "$run"/*.png "$run/tray"
    # The tray icon's centre and the tray host's rectangle on the screen,
    # from the tray host's window tree once the program has docked its icon
    # there (the one docked window).
    panel=$(xdotool search --classname '^panel$' 2>/dev/null | head -n1 || true)
    [ -n "$panel" ] && for _ in $(seq 200); do
        icon=$(xwininfo -tree -id "$panel" | awk '/"explorer.exe"/ {
            split($NF, p, "+"); split($(NF-1), s, /[x+]/)
            print p[2] + int(s[1] / 2), p[3] + int(s[2] / 2); exit }')
        if [ -n "$icon" ]; then
            eval "$(xdotool getwindowgeometry --shell "$panel")"
            echo "$icon $X $Y $((X + WIDTH)) $((Y + HEIGHT))" >"$run/tray"
            break
        fi
        sleep 0.1
    done &
    # The pictures land in the demonstration's current folder.
    (cd "$run" && $WINE "$demo" "$port" "${WEDGE_RUN_SECONDS:-20}" </dev/null 2>>"$run/program.log") &
    wait $!  # in the background, so that a kill ends the run at once
    if [ $docs = 1 ]; then
        set_dpi 144
        wineserver -p </dev/null >/dev/null 2>&1
        (cd "$run" && $WINE "$demo" --window window-150 </dev/null 2>>"$run/program.log") &
        wait $! || true
        set_dpi 96
    fi
    python3 tools/topng.py "$run"/*.bmp
    if [ $docs = 1 ]; then
        missing=()
        for pic in window window-150 tray-menu window-open system-menu scan-rules window-lost; do
            if [ -f "$run/$pic.png" ]; then cp "$run/$pic.png" docs/; else missing+=("$pic"); fi
        done
        echo "copied to docs/ the pictures it shows"
        [ ${#missing[@]} -eq 0 ] || { echo "not made, so docs/ keeps the former ones: ${missing[*]}" >&2; exit 1; }
    fi
    echo "screenshots: $(cd "$run" && ls ./*.png | tr '\n' ' ')in $run"
    exit 0
fi

$WINE "$exe" </dev/null >"$run/program.log" 2>&1 &
program_pid=$!
list_choice=
[ "$port" != COM1 ] && list_choice=" (choose \"COM ${port#COM}\" in the COM Port list first)"
cat <<EOT
Brindlequaverly is starting on display $DISPLAY.
  - Press "Open Port"$list_choice; the window then hides into the tray.
  - Every scan is typed into the foreground window: click into an editor.
  - Double-click the tray icon, or right-click it and choose Restore, to
    bring the window back; Exit in that menu ends the program.
EOT
wait "$program_pid" || true
