#!/usr/bin/env bash
# Runs the benchmark under Wine in a prefix and display of its own (the tests'
# ones stay untouched) and prints its figures, for the poll and for
# ScanAtOnce, with the machine they came from and its load; then latency again
# under the German keyboard layout.
# Arguments: number of scans (60), seconds of idle measurement in each mode (30).
set -eu
cd "$(dirname "$0")/.."
. tools/wine.sh
build=$(cd "${BUILD:-build}" && pwd)
dir=$build/bench-wine
tests/wine-env.sh start "$dir" >/dev/null
trap 'tests/wine-env.sh stop "$dir"' EXIT
. "$dir/env"
echo "machine: $(uname -srm), $(nproc) processors,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2), $($WINE --version)"
# others' work on the machine shows in the figures
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
$WINE "$build/tests/wedge_bench.exe" "$@"
# once more under a layout whose keys differ from the United States ones
tests/layouts.sh use "$dir" de
echo "keyboard layout de:"
$WINE "$build/tests/wedge_bench.exe" "${1:-60}" 0 latency
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
