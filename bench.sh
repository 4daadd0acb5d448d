#!/usr/bin/env bash
# Builds the program and runs the benchmarks under Wine in a throwaway prefix, on a virtual
# display (the main window's benchmark makes a window); prints one line per figure (see
# README.md, "Benchmarks"). Exit code: 0 when every benchmark program succeeded.
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
build_project || exit 1

enter_throwaway_prefix "$(template_prefix)"

# The program itself is started from outside with 2000 more services (SM_STARTUP_SERVICES).
on_virtual_display bash -c 'rc=0; for program in "${@:2}"; do wine "$program" || rc=1; done
  wine "$1" "${SM_STARTUP_SERVICES:-2000}" || rc=1; exit $rc' benchmarks \
  "$BUILD_DIR/bench/startup_bench.exe" "$BUILD_DIR/bench/services_bench.exe" \
  "$BUILD_DIR/bench/main_window_bench.exe" "$BUILD_DIR/bench/props_bench.exe" \
  "$BUILD_DIR/bench/slow_commands_bench.exe" "$BUILD_DIR/bench/installation_bench.exe"
