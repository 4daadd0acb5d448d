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
# The system folder (most of the prefix: Wine's own programs and libraries, which nothing here
# writes) is linked, not copied, where the file system allows it.
system=drive_c/windows/system32
( cd "$source_prefix" && tar --exclude="./$system" -cf - . ) | ( cd "$scratch" && tar -xpf - )
cp -al "$source_prefix/$system" "$scratch/$system" 2>/dev/null ||
  { rm -rf "${scratch:?}/$system"; cp -a "$source_prefix/$system" "$scratch/$system"; }
rm -f "$scratch"/.update-timestamp.lock
# LogPixels goes into the copy's registry file, which its Wine server reads when it starts.
awk -v value="$(printf '"LogPixels"=dword:%08x' "$dpi")" '
  /^\[/ { desktop = index($0, "[Control Panel\\\\Desktop] ") == 1 }
  desktop && /^"LogPixels"=/ { next }
  { print }
  desktop && /^\[/ { print value; written = 1 }
  END { if (!written) printf "\n[Control Panel\\\\Desktop]\n%s\n", value }
' "$scratch/user.reg" >"$scratch/user.reg.new" && mv "$scratch/user.reg.new" "$scratch/user.reg"
export WINEPREFIX=$scratch
export SM_TEST_DPI=$dpi
if [ -n "$shots" ]; then
  mkdir -p "$shots"
  export SM_SHOT_DIR="Z:${shots//\//\\}"
fi
wine "$program"
