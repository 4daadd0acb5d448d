#!/usr/bin/env bash
# The compilers' check: every C++ source of the build (program, tests, benchmarks) is compiled,
# syntax only, by clang for the Windows target (the program must also build with MSVC), with the
# build's definitions, include folders and warnings as compile_commands.json gives them; GCC's
# own warnings are those the build kept beside each object (scripts/keep-warnings.sh), and a
# source whose object has none kept (built before they were) is compiled by GCC, syntax only,
# too. Prints every warning and error (file:line) and exits 1 if there is one, 2 if the check
# cannot run. ./test.sh runs it as the test clang_check, after the other tests.
#
#   scripts/clang-check.sh [build folder]     (default: build; configured by ./test.sh or cmake)
#
# The results are kept in <build folder>/clang-check: a source is checked again only when it,
# a header it includes or its compile command changed. CLANG and JOBS (2) may be set.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(cd "${1:-${BUILD_DIR:-$ROOT/build}}" 2>/dev/null && pwd) || { echo "clang-check: no build folder ${1:-}" >&2; exit 2; }
DB=$BUILD_DIR/compile_commands.json
OUT=$BUILD_DIR/clang-check
CLANG=${CLANG:-clang}
JOBS=${JOBS:-2}

fail() { echo "clang-check: $*" >&2; exit 2; }
[ -f "$DB" ] || fail "$DB missing: configure the build first (./test.sh, or cmake with CMAKE_EXPORT_COMPILE_COMMANDS)"
command -v "$CLANG" >/dev/null || fail "$CLANG not found (Debian package clang)"
command -v make >/dev/null || fail "make not found"
mkdir -p "$OUT"

# clang finds the C++ library and the Windows headers of the build's GCC: its C++ include
# folders as system folders, the folder of windows.h as the system root.
clang_flags() {
  local gxx=$1 dir flags=""
  while read -r dir; do
    dir=$(realpath -m "$dir")
    case $dir in
      */c++|*/c++/*) flags+=" -isystem $dir" ;;
      *) [ -f "$dir/windows.h" ] && flags+=" --sysroot=$(dirname "$dir")" ;;
    esac
  done < <("$gxx" -xc++ -E -v /dev/null 2>&1 | sed -n '/^#include <...> search starts here:/,/^End of search list/{/^ /p}')
  [[ $flags == *--sysroot=* ]] || fail "no windows.h in the include folders of $gxx"
  printf '%s' "--target=x86_64-w64-windows-gnu$flags"
}

declare -A CLANG_FLAGS
for compiler in $(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "$DB" | sort -u); do
  CLANG_FLAGS[$compiler]=$(clang_flags "$compiler") || exit 2
done

# One pass over compile_commands.json as CMake writes it ("directory", "command" and "file" on
# lines of their own) writes a script per source and compiler, only where its text changed (the
# script's time is its flags' time), and the Makefile that runs those that are out of date; the
# GCC half is only the build's kept output of the source (listed in "records") where there is one.
rm -f "$OUT/names" "$OUT/records"
touch "$OUT/records"
awk -v root="$ROOT" -v build="$BUILD_DIR" -v out="$OUT" -v clang="$CLANG" -v flags="$(
  for c in "${!CLANG_FLAGS[@]}"; do printf '%s=%s\n' "$c" "${CLANG_FLAGS[$c]}"; done)" '
  function unescape(s,   r, i, c) {
    sub(/^[^:]*: "/, "", s); sub(/",?$/, "", s)
    r = ""
    for (i = 1; i <= length(s); i++) {
      c = substr(s, i, 1)
      if (c == "\\") { i++; c = substr(s, i, 1) }
      r = r c
    }
    return r
  }
  function quote(s) { gsub(/'\''/, "'\''\"'\''\"'\''", s); return "'\''" s "'\''" }
  function write_if_changed(file, text,   old, line) {
    old = ""
    while ((getline line < file) > 0) old = old line "\n"
    close(file)
    if (old != text) { printf "%s", text > file; close(file) }
  }
  BEGIN {
    n = split(flags, lines, "\n")
    for (i = 1; i <= n; i++) { p = index(lines[i], "="); clang_flags[substr(lines[i], 1, p - 1)] = substr(lines[i], p + 1) }
    count = 0
  }
  /^ *"directory":/ { dir = unescape($0) }
  /^ *"command":/ { cmd = unescape($0) }
  /^ *"file":/ {
    file = unescape($0)
    if (index(file, root "/") != 1 || index(file, build "/") == 1) next
    compiler = substr(cmd, 1, index(cmd, " ") - 1)
    args = substr(cmd, index(cmd, " ") + 1)
    obj = args; sub(/.* -o /, "", obj); sub(/ .*/, "", obj)
    sub(/ -o [^ ]*/, "", args); sub(/ -c [^ ]*$/, "", args)
    rel = (dir == build ? "" : substr(dir, length(build) + 2) "/") obj
    gsub(/\//, "_", rel)
    for (k = 1; k <= 2; k++) {
      if (k == 1) { name = rel ".clang"; cc = clang (compiler ~ /\+\+/ ? "++" : "") " " clang_flags[compiler] }
      else {
        name = rel ".gcc"; cc = compiler
        record = dir "/" obj ".warnings"
        if ((getline line < record) >= 0) {
          close(record)
          print name "\t" record > (out "/records")
          continue
        }
      }
      base = out "/" name
      write_if_changed(base ".sh", "cd " quote(dir) " || exit 1\n" \
        cc " " args " -fsyntax-only -MD -MP -MF " quote(base ".d") " -MT " quote(base ".ok") " " quote(file) " >" quote(base ".log") " 2>&1\n" \
        "[ -s " quote(base ".log") " ] && rm -f " quote(base ".ok") " || touch " quote(base ".ok") "\n")
      names[++count] = name
      rules = rules base ".ok: " file " " base ".sh\n\t@sh " base ".sh\n"
      print name > (out "/names")
    }
  }
  END {
    close(out "/names")
    close(out "/records")
    printf ".PHONY: all\nall:" > (out "/Makefile")
    for (i = 1; i <= count; i++) printf " %s/%s.ok", out, names[i] > (out "/Makefile")
    printf "\n%s", rules > (out "/Makefile")
    for (i = 1; i <= count; i++) printf "-include %s/%s.d\n", out, names[i] > (out "/Makefile")
  }
' "$DB" || fail "cannot read $DB"
mapfile -t names <"$OUT/names"
[ ${#names[@]} -gt 0 ] || fail "no sources in $DB"

make -s -k -j"$JOBS" -f "$OUT/Makefile" all || fail "make failed"

logs=()
for name in "${names[@]}"; do
  [ -s "$OUT/$name.log" ] || continue
  logs+=("$OUT/$name.log")
  echo "== ${name##*.}: ${name%.*}"
  cat "$OUT/$name.log"
done
records=0
while IFS=$'\t' read -r name record; do
  records=$((records + 1))
  [ -s "$record" ] || continue
  logs+=("$record")
  echo "== gcc (build): ${name%.*}"
  cat "$record"
done <"$OUT/records"
checked=$((${#names[@]} + records))
if [ ${#logs[@]} -gt 0 ]; then
  total=$(cat "${logs[@]}" | grep -cE ': (warning|error|fatal error):')
  echo "clang-check: $total warnings and errors in ${#logs[@]} of $checked compilations (clang and GCC)"
  exit 1
fi
echo "clang-check: $checked compilations (clang and GCC), no warning"
