#!/usr/bin/env bash
# The MSI under Wine, as an administrator deploys it, in a prefix, display and
# virtual lines of its own (installs must not touch the other tests' prefix):
# an install with presets and the start with Windows, an upgrade from a lower
# version without properties, the log-on's start (install_tests), and the
# uninstall with what it leaves.
set -eu
dir=$1 tests=$2 exe=$3
src=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$dir"
mkdir -p "$dir"
trap '"$src/tests/wine-env.sh" stop "$dir"' EXIT
"$src/tests/wine-env.sh" start "$dir" >/dev/null
. "$dir/env"
. "$src/tools/wine.sh"
"$src/install/dist.py" "$dir/old" x64="$exe" --version 1.4.0 >/dev/null
"$src/install/dist.py" "$dir/new" x64="$exe" >/dev/null

failed=0
check() {   # what, expected, actual
    if [ "$2" != "$3" ]; then echo "FAILED: $1: expected [$2], got [$3]"; failed=1; fi
}
wine_() { $WINE "$@" </dev/null 2>/dev/null | tr -d '\r'; }
value() {   # key, name, more reg arguments: the text, empty when missing
    wine_ reg query "$1" /v "$2" "${@:3}" | sed -n "s/^ *$2 *REG_SZ *//p"
}
msiexec() { wine_ msiexec "$@"; echo $?; }
presets='HKLM\SOFTWARE\Vimo Technologies\VimoBrindleQV'
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
program="$WINEPREFIX/drive_c/Program Files/Brindlequaverly/VimoBrindleQV.exe"
# Wine puts a per-machine shortcut into the user's Start menu.
shortcut=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs)/Brindlequaverly.lnk

installed() {   # when: the program, its shortcut, the presets and the start
    cmp -s "$exe" "$program" && check "$1: the program" same same || check "$1: the program" "$exe" "$program"
    check "$1: the shortcut" yes "$([ -f "$shortcut" ] && echo yes)"
    check "$1: COMMPORT" "COM 2" "$(value "$presets" COMMPORT /reg:32)"
    check "$1: BAUDRATE" 19200 "$(value "$presets" BAUDRATE /reg:32)"
    check "$1: ScanPattern" '\d+' "$(value "$presets" ScanPattern /reg:32)"
    check "$1: ScanSuffix" '{TAB}' "$(value "$presets" ScanSuffix /reg:32)"
    check "$1: a property not given" "" "$(value "$presets" DATABITS /reg:32)"
    check "$1: the Run entry" '"C:\Program Files\Brindlequaverly\VimoBrindleQV.exe" /open' "$(value "$run" Brindlequaverly)"
}

check "install" 0 "$(msiexec /i "Z:$dir/old/Brindlequaverly-1.4.0-x64.msi" /qn 'COMMPORT=COM 2' BAUDRATE=19200 \
    'SCANPATTERN=\d+' 'SCANSUFFIX={TAB}' STARTWITHWINDOWS=1)"
installed "1.4.0 installed"
check "upgrade" 0 "$(msiexec /i "Z:$dir/new/Brindlequaverly-1.5.0-x64.msi" /qn)"
installed "upgraded without properties"
check "the products installed" "1.5.0" \
    "$(wine_ reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | sed -n 's/^ *DisplayVersion *REG_SZ *//p')"

$WINE wineboot </dev/null >/dev/null 2>&1   # starts the Run entries as a log-on does
WEDGE_WINE_DIR=$dir "$src/tests/wine-run.sh" "$tests" || failed=1

check "uninstall" 0 "$(msiexec /x "Z:$dir/new/Brindlequaverly-1.5.0-x64.msi" /qn)"
check "uninstalled: the program" no "$([ -e "$program" ] && echo yes || echo no)"
check "uninstalled: the shortcut" no "$([ -e "$shortcut" ] && echo yes || echo no)"
check "uninstalled: the Run entry" "" "$(value "$run" Brindlequaverly)"
check "uninstalled: the presets stay" "COM 2" "$(value "$presets" COMMPORT /reg:32)"
exit $failed
