#!/bin/sh
# Checks that the engine library defines exactly the dynamic symbols listed
# in a file (demangled, '#' lines are comments; sanitizer bookkeeping aside)
# and carries the given soname.
# Usage: check_exports.sh LIBRARY SONAME LIST
set -eu
lib=$1
soname=$2
list=$3
want=$(grep -v '^#' "$list" | LC_ALL=C sort -u)
have=$(nm -DC --defined-only "$lib" | cut -d' ' -f3- | grep -v -e '^__odr_asan' -e '^___asan' -e '^__asan' |
  LC_ALL=C sort -u)
if [ "$have" != "$want" ]; then
  echo "exports of $lib differ from $list (< exported, > listed):"
  printf '%s\n' "$have" >"${TMPDIR:-/tmp}/have.$$"
  printf '%s\n' "$want" >"${TMPDIR:-/tmp}/want.$$"
  diff "${TMPDIR:-/tmp}/have.$$" "${TMPDIR:-/tmp}/want.$$" || true
  rm -f "${TMPDIR:-/tmp}/have.$$" "${TMPDIR:-/tmp}/want.$$"
  exit 1
fi
if ! readelf -d "$lib" | grep -q "Library soname: \[$soname\]"; then
  echo "soname of $lib is not $soname"; readelf -d "$lib" | grep SONAME
  exit 1
fi
echo "ok: $lib exports the $(printf '%s\n' "$want" | wc -l) names of $list, soname $soname"
