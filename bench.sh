#!/usr/bin/env bash
# Builds the program and runs the benchmarks under Wine in a throwaway prefix, on a virtual
# display (the main window's benchmark makes a window); prints one line per figure (see
# README.md, "Benchmarks"). Exit code: 0 when every benchmark program succeeded.
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
build_project || exit 1

WINEPREFIX=$(throwaway_prefix "$(template_prefix)")
export WINEPREFIX
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
configure_prefix
# The Wine server that wrote the settings ran without a display: it must have ended before the run.
wineserver -w

xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
  source "'"$ROOT"'/scripts/common.sh"
  start_wineserver
  rc=0
  wine "'"$BUILD_DIR"'/bench/services_bench.exe" || rc=1
  # /all: the main window lists every service.
  wine "'"$BUILD_DIR"'/bench/main_window_bench.exe" /all || rc=1
  # The program itself, started from outside with 1000 more services.
  wine "'"$BUILD_DIR"'/bench/startup_bench.exe" ${SM_STARTUP_SERVICES:-1000} || rc=1
  stop_wineserver
  exit $rc
'
