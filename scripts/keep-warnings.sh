#!/bin/sh
# Runs one compile of the build and keeps what the compiler printed beside the object, as
# <object>.warnings (empty when it printed nothing), where scripts/clang-check.sh finds GCC's
# warnings without compiling again; the build's log shows them as before. The build sets it
# before every compile (CMakeLists.txt).
#   keep-warnings.sh <object> <compiler> <arguments>...
object=$1
shift
[ -d "${object%/*}" ] || mkdir -p "${object%/*}"
"$@" 2>"$object.warnings"
rc=$?
[ -s "$object.warnings" ] && cat "$object.warnings" >&2
exit $rc
