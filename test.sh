#!/usr/bin/env bash
# Builds the program and runs every test under Wine, on a virtual display, in a throwaway
# prefix. Prints CTest's summary; the exit code is the result. Arguments go to ctest
# (for example: ./test.sh -L unit).
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
build_project || exit 1

# The throwaway prefix is a copy of the user's prefix when WINEPREFIX is set (never written),
# otherwise of this build folder's template.
if [ -n "${WINEPREFIX:-}" ]; then
  ( init_prefix ) >/dev/null 2>&1
  source_prefix=$WINEPREFIX
else
  source_prefix=$(template_prefix)
fi
WINEPREFIX=$(throwaway_prefix "$source_prefix")
export WINEPREFIX
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
configure_prefix
# The Wine server that wrote the settings ran without a display, and so did the desktop process it
# started: windows made under it would have no graphics driver. It must have ended before the run.
wineserver -w

export SM_BUILD_DIR=$BUILD_DIR
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
  source "'"$ROOT"'/scripts/common.sh"
  start_wineserver
  cd "'"$BUILD_DIR"'"
  ctest --output-on-failure -j2 "$@"
  rc=$?
  stop_wineserver
  exit $rc
' ctest-run "$@"
