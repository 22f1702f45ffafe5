#!/usr/bin/env bash
# Installs with apt-get whatever the build, the tests, make dist and the run command need
# and this machine lacks. No i386 architecture: the 32-bit build is compile-only.
set -eu
need=()
have() { command -v "$1" >/dev/null 2>&1; }
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64)
have i686-w64-mingw32-g++-posix   || need+=(g++-mingw-w64-i686)
[ -x /usr/lib/wine/wine64 ]       || need+=(wine wine64)
[ -f /usr/share/wine/fonts/tahoma.ttf ] || need+=(fonts-wine)
have Xvfb    || need+=(xvfb)
have socat   || need+=(socat)
have trayer  || need+=(trayer)
have xdotool || need+=(xdotool)
have setxkbmap || need+=(x11-xkb-utils)
have xwd     || need+=(x11-utils x11-apps)
have cmake   || need+=(cmake)
have python3 || need+=(python3)
python3 -c 'import yaml' 2>/dev/null || need+=(python3-yaml)   # the winget manifest's test reads it
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# make dist, and its tests: the MSIs, their edits, signing
have wixl     || need+=(wixl)
have msibuild || need+=(msitools)
have osslsigncode || need+=(osslsigncode)
have openssl  || need+=(openssl)
# The web feed's tests: a page in a real browser, and a page's socket from Python
have chromium || need+=(chromium)
have chromedriver || need+=(chromium-driver)
/usr/bin/python3 -c 'import websockets' 2>/dev/null || need+=(python3-websockets)
# Boost.Regex is header-only from 1.77 on; Debian 12's default Boost is 1.74.
{ [ -f /usr/include/boost/regex.hpp ] && grep -qs '^#define BOOST_LIB_VERSION "1_81"' /usr/include/boost/version.hpp; } ||
    need+=(libboost1.81-dev)
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "missing: ${need[*]}" >&2
    echo "Installing them needs root: run 'sudo make deps' once, then this command again." >&2
    exit 1
fi
# apt-get's hundreds of lines of progress go to a log; a failure shows its end.
log=$(mktemp --suffix=.log /tmp/brindlequaverly-deps.XXXXXX)
echo "installing ${#need[@]} packages and what they depend on (apt-get's output: $log):"
echo "${need[*]}" | fold -s -w 76 | sed 's/^/  /'
export DEBIAN_FRONTEND=noninteractive
if ! { apt-get update && apt-get install -y --no-install-recommends "${need[@]}"; } >"$log" 2>&1; then
    tail -n 15 "$log" >&2
    echo "apt-get failed; its whole output is in $log" >&2
    exit 1
fi
echo "installed; apt-get's output is in $log"
