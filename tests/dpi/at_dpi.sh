#!/usr/bin/env bash
# Runs a test program with the current user's LogPixels at the given dpi: in a copy of the
# run's Wine prefix of its own (the value is read once by each process, and other tests of the
# run share the run's prefix), with its own Wine server on the run's display. The copy goes
# afterwards. The exit code is the program's.
#   at_dpi.sh <dpi> <program.exe> [<picture folder>]
set -u
dpi=$1 program=$2 shots=${3:-}
source_prefix=${WINEPREFIX:-$HOME/.wine}
scratch=$(mktemp -d /tmp/sm-dpi-XXXXXX)
trap 'WINEPREFIX="$scratch" wineserver -k >/dev/null 2>&1; rm -rf "$scratch"' EXIT
cp -a "$source_prefix/." "$scratch/"
rm -f "$scratch"/.update-timestamp.lock
export WINEPREFIX=$scratch
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -w
export SM_TEST_DPI=$dpi
if [ -n "$shots" ]; then
  mkdir -p "$shots"
  export SM_SHOT_DIR="Z:${shots//\//\\}"
fi
wine "$program"
