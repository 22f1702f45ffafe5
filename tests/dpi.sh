#!/usr/bin/env bash
# The display's DPI for the tests' Wine (started by tests/wine-env.sh in DIR),
# set by tools/wine.sh's set_dpi, which stops the wineserver; the kept one is
# started again after.
#   tests/dpi.sh run DIR PROGRAM DPI...   run PROGRAM at each DPI in turn, then back at 96
set -eu
dir=$(cd "$2" && pwd) program=$3
src=$(cd "$(dirname "$0")/.." && pwd)
. "$dir/env"
. "$src/tools/wine.sh"
use() { set_dpi "$1"; "$src/tests/wine-env.sh" server "$dir"; }
shift 3
trap 'use 96' EXIT
rc=0
for dpi in "$@"; do
    use "$dpi"
    echo "DPI $dpi"
    WEDGE_DPI=$dpi WEDGE_WINE_DIR=$dir "$src/tests/wine-run.sh" "$program" || rc=1
done
exit $rc
