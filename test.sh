#!/usr/bin/env bash
# Builds the program and runs every test under Wine, on a virtual display, in a throwaway
# prefix, then the compilers' check (the test clang_check, label check) on its own: it takes
# both cores for minutes the first time, which would slow the windows' tests beside it.
# Prints CTest's summary and the check's; the exit code is 0 when both passed. Arguments go to
# ctest and choose for both steps (for example: ./test.sh -L unit, ./test.sh -R clang_check).
set -uo pipefail
source "$(dirname "$0")/scripts/common.sh"

ensure_packages || exit 1
build_project || exit 1

# Whether these ctest arguments select a test.
selected() { ctest --test-dir "$BUILD_DIR" -N "$@" | grep -q '^Total Tests: [1-9]'; }

rc=0
# The tests (all but the check; when the arguments select nothing at all, ctest says so).
if selected -LE '^check$' "$@" || ! selected -L '^check$' "$@"; then
  # The throwaway prefix is a copy of the user's prefix when WINEPREFIX is set (never written),
  # otherwise of this build folder's template.
  if [ -n "${WINEPREFIX:-}" ]; then
    ( init_prefix ) >/dev/null 2>&1
    source_prefix=$WINEPREFIX
  else
    source_prefix=$(template_prefix)
  fi
  enter_throwaway_prefix "$source_prefix"
  export SM_BUILD_DIR=$BUILD_DIR
  on_virtual_display ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 -LE '^check$' "$@" || rc=1
fi
# The compilers' check, when selected: run as the test would, not through ctest, whose logs of
# the tests' run (for --rerun-failed) stay as they are.
if selected -L '^check$' "$@"; then
  log "the compilers' check (test clang_check)"
  "$ROOT/scripts/clang-check.sh" "$BUILD_DIR" || rc=1
fi
exit $rc
