# Sourced by tools/run.sh, tools/bench.sh, tests/wine-env.sh and
# tests/wine-run.sh: the one Wine they all use, in prefixes of their own, with
# the fonts that lay the window out alike in the tests and the screenshots.

WINE=/usr/lib/wine/wine64
# tools/vline.py starts Wine too. Without the overrides a new prefix asks to
# install Mono and Gecko.
export WINE WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="

. "$(dirname "${BASH_SOURCE[0]}")/xdisplay.sh"

# use_prefix DIR: exports DIR as WINEPREFIX and creates the prefix once
# (its log goes beside it).
use_prefix() {
    export WINEPREFIX=$1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix $WINEPREFIX (once; about half a minute)"
        $WINE wineboot -i >"$(dirname "$WINEPREFIX")/wineboot.log" 2>&1
        wineserver -w
    fi
    # This Wine build does not load the TrueType fonts it ships from its data
    # directory: without Tahoma the dialog is laid out in a wider substitute,
    # and without Marlett the caption buttons show as letters.
    local f
    for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/sserife.fon; do
        [ -e "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # Windows draws the dialog font "MS Shell Dlg" as Microsoft Sans Serif,
    # Wine as Tahoma, which is wider. Wine's MS Sans Serif of 96 dpi
    # (sserife.fon) has the Windows font's widths, so the window is laid out
    # as on Windows.
    if ! grep -qs '^"MS Shell Dlg"="MS Sans Serif"' "$WINEPREFIX/system.reg"; then
        $WINE reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v "MS Shell Dlg" /d "MS Sans Serif" /f >/dev/null 2>&1
    fi
    return 0
}

# set_dpi N: the display's DPI for the prefix's programs (96 is 100 %, 144
# 150 %): LogPixels of the user's and the current configuration's fonts,
# which the wineserver reads as it starts; so it is stopped, and with it
# every program of the prefix.
set_dpi() {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%08x\n' \
        "$1" "$1" >"$WINEPREFIX/dpi.reg"
    $WINE regedit /s "Z:$WINEPREFIX/dpi.reg" </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
