#!/usr/bin/env bash
# Keyboard layouts of the tests' X display (the one tests/wine-env.sh started
# in DIR). Wine reads the X keymap as each of its processes starts, so every
# switch stops the wineserver, and with it every Wine program, first.
#   tests/layouts.sh use DIR LAYOUT              switch to the layout
#   tests/layouts.sh run DIR PROGRAM LAYOUT...   run PROGRAM under each layout
#                                                in turn, then switch back to us
set -eu
cmd=$1 dir=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
. "$dir/env"
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

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
program=$3
shift 3
trap 'use us' EXIT
rc=0
for layout in "$@"; do
    use "$layout"
    echo "keyboard layout $layout"
    WEDGE_LAYOUT=$layout WEDGE_WINE_DIR=$dir "$src/tests/wine-run.sh" "$program" || rc=1
done
exit $rc
