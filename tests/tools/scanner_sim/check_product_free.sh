#!/bin/sh
# The scanner simulator stays free of product code: no target it links (the
# closure CMake wrote) lives in a product folder, and no object of those
# targets included a header from one (the compiler's own record, through
# ninja -t deps).
#   check_product_free.sh <closure file> <source root> <build dir>
set -eu
closure=$1 root=$2 build=$3
products="vdtcl devaccess VexmorApi imagelib diagnostics backend_source netsetup"
status=0
[ -s "$closure" ] || { echo "no link closure in $closure"; exit 1; }
while IFS='|' read -r target dir; do
  rel=${dir#"$root"/}
  for p in $products; do
    case "$rel/" in "$p"/*) echo "links product target $target ($rel)"; status=1;; esac
  done
done < "$closure"
command -v ninja >/dev/null 2>&1 && [ -f "$build/build.ninja" ] || { echo "not a ninja build: deps not checked"; exit 77; }
deps=$(mktemp)
trap 'rm -f "$deps"' EXIT
ninja -C "$build" -t deps > "$deps"
while IFS='|' read -r target dir; do
  awk -v t="/CMakeFiles/$target.dir/" -v root="$root/" -v products="$products" -v target="$target" '
    BEGIN { n = split(products, p, " "); objects = 0; bad = 0 }
    /^[^ ]/ { inside = index($0, t) > 0; if (inside) objects++; next }
    inside {
      path = $1; sub("^" root, "", path)
      for (i = 1; i <= n; i++) if (index(path, p[i] "/") == 1) { print target ": includes " path; bad = 1 }
      if (path ~ /generated\/vexmor_paths\.h$/) { print target ": includes " path; bad = 1 }
    }
    END { if (objects == 0) { print target ": no compiled objects recorded"; bad = 1 }; exit bad }
  ' "$deps" || status=1
done <<EOF2
$(grep -E '^(scanner_sim|scanner-sim|answer_encoders|gen1_wire|gen2_block_encoder|gen2_param_core|fake_libusb|velloc_net_testpeers)\|' "$closure")
EOF2
[ $status -eq 0 ] && echo "scanner_sim and scanner-sim: $(wc -l < "$closure") targets, none of the product"
exit $status
