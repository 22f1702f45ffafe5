#!/usr/bin/env bash
# Runs the benchmark under Wine in a prefix and display of its own (the tests'
# ones stay untouched) and prints its figures with the machine they came from.
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
