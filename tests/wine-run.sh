#!/usr/bin/env bash
# Runs a Windows program under wine64 in the build tree's private prefix, with
# the display, virtual serial lines and wineserver that tests/wine-env.sh started.
set -e
: "${WEDGE_WINE_DIR:?names the wine folder of the build tree}"
[ -f "$WEDGE_WINE_DIR/env" ] && . "$WEDGE_WINE_DIR/env"
. "$(dirname "$0")/../tools/wine.sh"
export WINEPREFIX="$WEDGE_WINE_DIR/prefix"
exec $WINE "$@"
