#!/usr/bin/env bash
# make dist's MSI, signed with a throwaway certificate, under Wine in an
# environment of its own: upgraded, started as at log-on, uninstalled.
set -eu
dir=$1 tests=$2 exe=$3
src=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
# A prefix of 0.7 GB: kept only when something failed.
trap 'rc=$?; "$src/tests/wine-env.sh" stop "$dir"; [ $rc != 0 ] || rm -rf "$dir"' EXIT
"$src/tests/wine-env.sh" start "$dir" >/dev/null
. "$dir/env" && . "$src/tools/wine.sh" && failed=0
check() { [ "$2" = "$3" ] || { echo "FAILED: $1: expected [$2], got [$3]"; failed=1; }; }

for n in one other; do openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=$n -keyout $n.key -out $n.pem 2>/dev/null; done
check "a key of another certificate" "make dist: SIGN_KEY does not match SIGN_CERT: other.key is not the key of one.pem" \
    "$("$src/install/dist.py" new x64="$exe" --cert one.pem --key other.key 2>&1)"
"$src/install/dist.py" old x64="$exe" --version 1.4.0 >/dev/null
"$src/install/dist.py" new x64="$exe" --cert one.pem --key one.key >/dev/null
python3 -m zipfile -e new/*.zip unpacked && (cd new && sha256sum --quiet -c SHA256SUMS) || failed=1
for f in new/*.msi unpacked/*/x64/*.exe; do osslsigncode verify -CAfile one.pem -in "$f" >/dev/null || check signed "$f" no; done

wine_() { $WINE "$@" </dev/null 2>/dev/null | tr -d '\r'; }
value() { wine_ reg query "$1" /v "$2" "${@:3}" | sed -n "s/^ *$2 *REG_SZ *//p"; }
presets='HKLM\SOFTWARE\Vimo Technologies\VimoBrindleQV'
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
program="$WINEPREFIX/drive_c/Program Files/Brindlequaverly/VimoBrindleQV.exe"
# Wine puts a per-machine shortcut into the user's Start menu.
shortcut=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs)/Brindlequaverly.lnk
wine_ msiexec /i "Z:$dir/old/Brindlequaverly-1.4.0-x64.msi" /qn 'COMMPORT=COM 2' BAUDRATE=19200 'SCANPATTERN=\d+' \
    'SCANSUFFIX={TAB}' STARTWITHWINDOWS=1
# Without the presets' properties; with the profiles whose windows start at log-on.
wine_ msiexec /i "Z:$dir/new/Brindlequaverly-1.5.0-x64.msi" /qn 'PROFILES=Scanner;Scale'
check "upgraded without properties: the program" yes "$(cmp -s unpacked/*/x64/VimoBrindleQV.exe "$program" && echo yes)"
check "upgraded without properties: the license beside the program" yes "$(cmp -s "$src/LICENSE" "$(dirname "$program")/LICENSE.txt" && echo yes)"
check "upgraded without properties: the shortcut" yes "$([ -f "$shortcut" ] && echo yes)"
check "upgraded without properties: the presets given" "COM 2|19200|\d+|{TAB}||" "$(for v in COMMPORT BAUDRATE ScanPattern ScanSuffix DATABITS; do
    echo -n "$(value "$presets" $v /reg:32)|"; done)"
check "upgraded without properties: the Run entry" '"C:\Program Files\Brindlequaverly\VimoBrindleQV.exe" /open' "$(value "$run" Brindlequaverly)"
check "the profiles' Run entry" '"C:\Program Files\Brindlequaverly\VimoBrindleQV.exe" /profile "Scanner;Scale" /open' \
    "$(value "$run" 'Brindlequaverly Profiles')"
check "the event source" '%SystemRoot%\System32\EventCreate.exe' \
    "$(wine_ reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Brindlequaverly' /v EventMessageFile |
    sed -n 's/^ *EventMessageFile *REG_EXPAND_SZ *//p')"
check "the products installed" 1.5.0 "$(wine_ reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    sed -n 's/^ *DisplayVersion *REG_SZ *//p')"
$WINE wineboot </dev/null >/dev/null 2>&1   # starts the Run entries as a log-on does
WEDGE_WINE_DIR=$dir "$src/tests/wine-run.sh" "$tests" || failed=1

wine_ msiexec /x "Z:$dir/new/Brindlequaverly-1.5.0-x64.msi" /qn
check "uninstalled: the program, the shortcut, the Run entries, the presets" "---|COM 2" \
    "$([ -e "$program" ] && echo yes)-$([ -e "$shortcut" ] && echo yes)-$(value "$run" Brindlequaverly)-$(value "$run" 'Brindlequaverly Profiles')|$(value "$presets" COMMPORT /reg:32)"
exit $failed
