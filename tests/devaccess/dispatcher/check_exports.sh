#!/bin/sh
# Checks that a deliverable exports exactly the given symbols (sanitizer
# bookkeeping symbols aside) and carries the given soname.
# Usage: check_exports.sh LIBRARY SONAME SYMBOL...
set -eu
lib=$1
soname=$2
shift 2
want=$(printf '%s\n' "$@" | sort)
have=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v -e '^__odr_asan' -e '^___asan' -e '^__asan' | sort)
if [ "$have" != "$want" ]; then
  echo "exports of $lib:"; echo "$have"; echo "expected:"; echo "$want"
  exit 1
fi
if ! readelf -d "$lib" | grep -q "Library soname: \[$soname\]"; then
  echo "soname of $lib is not $soname"; readelf -d "$lib" | grep SONAME
  exit 1
fi
echo "ok: $lib exports $want, soname $soname"
