#!/usr/bin/env bash
# Keyboard layouts and DPI of the tests' X display (the one tests/wine-env.sh
# started in DIR). Wine reads the X keymap as each of its processes starts,
# and the DPI (LogPixels) as its server starts, so every switch stops the
# wineserver, and with it every Wine program, first.
#   tests/layouts.sh use DIR LAYOUT              switch to the layout
#   tests/layouts.sh run DIR PROGRAM LAYOUT...   run PROGRAM under each layout
#                                                in turn, then switch back to us
#   tests/layouts.sh dpi DIR PROGRAM DPI...      run PROGRAM at each DPI in
#                                                turn, then go back to 96
set -eu
cmd=$1 dir=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
. "$dir/env"
. "$src/tools/wine.sh"
export WINEPREFIX="$dir/prefix"

use() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    setxkbmap -display "$DISPLAY" "$1"
    if ! setxkbmap -display "$DISPLAY" -query | grep -q "^layout: *$1\$"; then
        echo "the display $DISPLAY did not take the keyboard layout $1:" >&2
        setxkbmap -display "$DISPLAY" -query >&2
        return 1
    fi
    "$src/tests/wine-env.sh" server "$dir"
}

if [ "$cmd" = use ]; then use "$3"; exit 0; fi
dpi() { set_dpi "$1"; "$src/tests/wine-env.sh" server "$dir"; }
switch=use variable=WEDGE_LAYOUT back=us
[ "$cmd" = dpi ] && switch=dpi variable=WEDGE_DPI back=96
program=$3
shift 3
trap "$switch $back" EXIT
rc=0
for value in "$@"; do
    $switch "$value"
    echo "$variable=$value"
    env "$variable=$value" WEDGE_WINE_DIR="$dir" "$src/tests/wine-run.sh" "$program" || rc=1
done
exit $rc
