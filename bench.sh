#!/usr/bin/env bash
# Builds the program and runs the benchmarks under Wine in a throwaway prefix; prints one line per
# figure (see README.md, "Benchmarks"). Exit code: the benchmark program's.
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
build_project || exit 1

WINEPREFIX=$(throwaway_prefix "$(template_prefix)")
export WINEPREFIX
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
configure_prefix
wineserver -w

start_wineserver
wine "$BUILD_DIR/bench/services_bench.exe"
rc=$?
stop_wineserver
exit $rc
