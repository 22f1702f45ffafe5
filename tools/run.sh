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
# (or with --docs) it runs on a private X server with a tray host, opens the
# port itself, lets scans be typed into Notepad, saves screenshots in
# $BUILD/run/ and ends after WEDGE_RUN_SECONDS (default 20) seconds.
# --docs also copies the screenshots to docs/ for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/xdisplay.sh

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
port=$(echo "${WEDGE_PORT:-COM1}" | tr '[:lower:]' '[:upper:]')
seconds=${WEDGE_RUN_SECONDS:-20}
WINE=/usr/lib/wine/wine64
# A prefix of our own, so nothing here touches ~/.wine or the tests' prefix;
# without the overrides a new prefix asks to install Mono and Gecko.
export WINEPREFIX=$run/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

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

# ---- display ---------------------------------------------------------------

private=1
if [ $docs = 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    private=0
else
    start_private_display "$run" 1024x768
fi

# ---- prefix ----------------------------------------------------------------

reg_has() { grep -qs "$1" "$WINEPREFIX/user.reg"; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX (once; takes a few seconds)"
    $WINE wineboot -i >"$run/wineboot.log" 2>&1
    wineserver -w
fi
# This Wine build does not load the TrueType fonts it ships from its data
# directory: without Tahoma the dialog is laid out in a wider substitute, and
# without Marlett the caption buttons show as letters.
for f in /usr/share/wine/fonts/*.ttf; do
    [ -e "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# With no window manager nobody draws the caption and frame: let Wine draw
# them there, and leave them to the window manager on a real display.
if [ $private = 1 ] && ! reg_has '"Decorated"="N"'; then
    $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
elif [ $private = 0 ] && reg_has '"Decorated"="N"'; then
    $WINE reg delete 'HKCU\Software\Wine\X11 Driver' /v Decorated /f >/dev/null 2>&1
fi

# ---- serial device -----------------------------------------------------------

# Both ways restart the wineserver (Wine reads its port map only as it
# starts), which ends every program of the prefix: so this comes before the
# program starts.
if [ -n "${WEDGE_TTY:-}" ]; then
    [ -c "$WEDGE_TTY" ] || { echo "WEDGE_TTY=$WEDGE_TTY is not a tty" >&2; exit 1; }
    python3 tools/vline.py map --prefix "$WINEPREFIX" "$port=$WEDGE_TTY"
    echo "$port -> $WEDGE_TTY"
else
    python3 tools/vline.py scan --prefix "$WINEPREFIX" --port "$port" \
        --repeat 0 --pause 3 >"$run/scanner.log" 2>&1 &
    scanner_pid=$!
    until grep -qs "start the program now" "$run/scanner.log"; do
        kill -0 "$scanner_pid" 2>/dev/null || {
            echo "the virtual scanner did not start:" >&2; cat "$run/scanner.log" >&2; exit 1; }
        sleep 0.1
    done
    echo "virtual scanner on $port, a barcode every 3 s (log: $run/scanner.log)"
fi

# ---- program -----------------------------------------------------------------

# A wineserver started by the program would write a dump of all its objects
# into the program's log as it is ended: start it first, with no output.  The
# program's output goes to a file: Wine's services, started with it, keep
# its standard handles open for as long as the wineserver lives.
wineserver -p </dev/null >/dev/null 2>&1
$WINE "$exe" </dev/null >"$run/program.log" 2>&1 &
program_pid=$!
list_choice=
[ "$port" != COM1 ] && list_choice=" (choose \"COM ${port#COM}\" in the COM Port list first)"
cat <<EOF
Brindlequaverly is starting on display $DISPLAY.
  - Press "Open Port"$list_choice; the window then hides into the tray.
  - Every scan is typed into the foreground window: click into an editor.
  - Double-click the tray icon, or right-click it and choose Restore, to
    bring the window back; Exit in that menu ends the program.
EOF

if [ $private = 0 ]; then
    wait "$program_pid" || true
    exit 0
fi

# ---- demonstration on the private display -------------------------------------

started=$SECONDS
rm -f "$run"/screenshot*.png "$run/tray-menu.png"

# Converts an XWD dump (xwd's format, read with the standard library only) to
# a PNG, cut to the rectangle X Y W H if given.
xwd_to_png() {
    python3 - "$@" <<'PY'
import struct, sys, zlib
src, dst = sys.argv[1:3]
data = open(src, "rb").read()
f = struct.unpack(">25I", data[:100])
header, fmt, width, height, order, bpp, stride = f[0], f[2], f[4], f[5], f[7], f[11], f[12]
masks, ncolors = f[14:17], f[19]
if fmt != 2 or bpp not in (16, 24, 32):
    sys.exit("xwd_to_png: only true-colour ZPixmap dumps")
pixels = data[header + 12 * ncolors:]
x0, y0, w, h = map(int, sys.argv[3:7]) if len(sys.argv) > 6 else (0, 0, width, height)
x0, y0 = max(0, x0), max(0, y0)
w, h = min(w, width - x0), min(h, height - y0)
step, endian = bpp // 8, "little" if order == 0 else "big"
shifts = [(m & -m).bit_length() - 1 for m in masks]
rows = []
for y in range(y0, y0 + h):
    line = pixels[y * stride + x0 * step:y * stride + (x0 + w) * step]
    if bpp == 32 and order == 0 and masks == (0xFF0000, 0xFF00, 0xFF):
        rgb = bytearray(3 * w)  # the usual 24-bit visual: B G R x bytes
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
    else:
        rgb = bytearray()
        for i in range(0, len(line), step):
            v = int.from_bytes(line[i:i + step], endian)
            rgb += bytes(((v & m) >> s) * 255 // max(1, m >> s) for m, s in zip(masks, shifts))
    rows.append(b"\0" + bytes(rgb))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
with open(dst, "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
              + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))
PY
}
# shot OUT [X Y W H]: the screen, or a part of it, as a PNG.
shot() {
    local out=$1; shift
    xwd -root -silent >"$run/screen.xwd"
    xwd_to_png "$run/screen.xwd" "$out" "$@"
    rm -f "$run/screen.xwd"
}
# geometry WINDOW: its "X Y W H" on the screen.
geometry() {
    # shellcheck disable=SC2034  # SCREEN and WINDOW: set by the eval, unused
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
# Bash runs a trap only after its foreground command ends: long waits go to
# the background so that a kill ends the run at once.
pause() { sleep "$1" & wait $!; }

win=
for _ in $(seq 150); do win=$(window '^Brindlequaverly$') && [ -n "$win" ] && break; sleep 0.2; done
[ -n "$win" ] || { echo "the window did not appear:" >&2; cat "$run/program.log" >&2; exit 1; }
sleep 1.5  # the dialog is mapped before it is centred and painted
read -r wx wy ww wh <<<"$(geometry "$win")"
shot "$run/screenshot.png" "$wx" "$wy" "$ww" "$wh"
echo "screenshot of the window: $run/screenshot.png"

# The tray icon is the one window docked in trayer's panel; its absolute
# place is in the panel's window tree.
panel=$(xdotool search --classname '^panel$' 2>/dev/null | head -n1 || true)
icon=
[ -n "$panel" ] && icon=$(xwininfo -tree -id "$panel" |
    awk '/"explorer.exe"/ { split($NF, p, "+"); split($(NF-1), s, /[x+]/);
                            print p[2] + int(s[1] / 2), p[3] + int(s[2] / 2); exit }')
if [ -n "$icon" ]; then
    read -r ix iy <<<"$icon"
    before=$(xdotool search --onlyvisible --classname '^vimobrindleqv.exe$' 2>/dev/null | sort)
    xdotool mousemove "$ix" "$iy" click 3
    menu=
    for _ in $(seq 20); do
        sleep 0.2
        menu=$(comm -13 <(echo "$before") \
            <(xdotool search --onlyvisible --classname '^vimobrindleqv.exe$' 2>/dev/null | sort) | head -n1)
        [ -n "$menu" ] && break
    done
    if [ -n "$menu" ]; then
        sleep 0.5
        # The menu and the tray below it, with a margin.
        read -r mx my mw _ <<<"$(geometry "$menu")"
        read -r px py pw ph <<<"$(geometry "$panel")"
        x0=$(( (mx < px ? mx : px) - 8 )) y0=$(( my - 8 ))
        x1=$(( mx + mw > px + pw ? mx + mw : px + pw )) y1=$(( py + ph ))
        shot "$run/tray-menu.png" "$x0" "$y0" $((x1 - x0)) $((y1 - y0))
        echo "screenshot of the tray menu: $run/tray-menu.png"
    else
        echo "the tray menu did not open; no tray-menu.png"
    fi
    xdotool key Escape
    sleep 0.5
fi

# "Open Port" sits at dialog units (86,176) 55x15 of a 159x199 client
# (res/wedge.rc); the client is the window less a 5 px frame and the caption.
read -r wx wy ww wh <<<"$(geometry "$win")"
if [ "$port" = COM1 ]; then
    bx=$(( wx + 5 + (ww - 10) * 227 / 318 )) by=$(( wy + wh - 5 - (wh - 29) * 31 / 398 ))
    xdotool mousemove "$bx" "$by" click 1
    for _ in $(seq 25); do [ -z "$(window '^Brindlequaverly$')" ] && break; sleep 0.2; done
    if [ -n "$(window '^Brindlequaverly$')" ]; then
        echo "the click did not open the port (the window is still shown)"
    else
        echo "pressed Open Port: the window is in the tray now"
    fi
else
    echo "not pressing Open Port: the list shows COM 1, the scanner is on $port"
fi

# Somewhere for the scans to land: a window started now takes the foreground
# (and, started before the click, Notepad would cover the button).
$WINE notepad </dev/null >>"$run/program.log" 2>&1 &
for _ in $(seq 50); do [ -n "$(window Notepad)" ] && break; sleep 0.2; done
sleep 0.5

# A few scans, then the whole screen: Notepad's text and the active tray icon.
left=$(( seconds - (SECONDS - started) ))
pause $(( left > 10 ? 10 : left < 1 ? 1 : left ))
shot "$run/screenshot-open.png"
echo "screenshot after a few scans: $run/screenshot-open.png"

if [ $docs = 1 ]; then
    mkdir -p docs
    cp "$run/screenshot.png" docs/window.png
    [ -f "$run/tray-menu.png" ] && cp "$run/tray-menu.png" docs/tray-menu.png
    echo "copied to docs/window.png$([ -f "$run/tray-menu.png" ] && echo " and docs/tray-menu.png")"
fi

left=$(( seconds - (SECONDS - started) ))
[ $left -gt 0 ] && pause $left
echo "ran ${seconds}s on the private display; ending"
exit 0
