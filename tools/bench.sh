#!/usr/bin/env bash
# Runs the benchmark under Wine in a prefix and display of its own (the tests'
# ones stay untouched) and prints its figures with the machine they came from;
# then latency and rate again under the German keyboard layout.
# Arguments: number of scans (120), seconds of idle measurement (60).
set -eu
cd "$(dirname "$0")/.."
. tools/wine.sh
build=$(cd "${BUILD:-build}" && pwd)
dir=$build/bench-wine
tests/wine-env.sh start "$dir" >/dev/null
trap 'tests/wine-env.sh stop "$dir"' EXIT
. "$dir/env"
echo "machine: $(uname -srm), $(nproc) processors,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2), $($WINE --version)"
$WINE "$build/tests/wedge_bench.exe" "$@"
# once more under a layout whose keys differ from the United States ones
tests/layouts.sh use "$dir" de
echo "keyboard layout de:"
$WINE "$build/tests/wedge_bench.exe" "${1:-120}" 0
