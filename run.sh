#!/usr/bin/env bash
# Builds the program and starts it under Wine. Arguments go to the program (./run.sh /all).
# With no display it runs on a virtual one, writes a screenshot of the main window, prints its
# path and closes the program again.
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
# Only what runs here: the program, the test service of the sample services and the installer
# stand-ins with their server (./test.sh builds the tests and benchmarks).
build_project ServiceManager TestService SampleServer installer_dbsvc installer_t32appsrv || exit 1

export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wine-prefix}
init_prefix
"$ROOT/scripts/sample-services.sh"
"$ROOT/scripts/sample-installers.sh"
# A Wine session started without a display would keep its windows off screen: let it end.
wineserver -w

program="$BUILD_DIR/ServiceManager.exe"
if [ -n "${DISPLAY:-}" ]; then
  log "starting the program"
  exec wine "$program" "$@"
fi

log "no display: the program runs on a virtual one for a few seconds, its picture is taken, and it ends"
shot="$BUILD_DIR/screenshot.png"
rm -f "$shot"
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24" bash -c '
  program=$1 shot=$2; shift 2
  wine "$program" "$@" &
  pid=$!
  # Give the window time to appear and the list its first refreshes.
  for _ in $(seq 1 40); do
    sleep 0.25
    xwininfo -root -tree 2>/dev/null | grep -q "Talvora ERP Service Manager" && break
  done
  sleep 2.5
  import -window root "$shot"
  wineserver -k >/dev/null 2>&1
  wait $pid 2>/dev/null
  exit 0
' run-sh "$program" "$shot" "$@"
if [ -f "$shot" ]; then
  echo "Screenshot: $shot"
else
  echo "No screenshot was written" >&2
  exit 1
fi
