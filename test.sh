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
enter_throwaway_prefix "$source_prefix"

export SM_BUILD_DIR=$BUILD_DIR
on_virtual_display ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 "$@"
