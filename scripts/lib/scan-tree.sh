# Sourced by scripts/scan, scripts/faults and scripts/bench: configures and
# builds a tree whose driver folders lie under it (<tree>/system), with the
# test hooks that let the simulator's SNMP agent use a free port and shorten
# the time-outs, and builds what a scanimage run needs.
#   scan_tree <tree> <build type> [more targets...]
scan_tree() {
  local tree=$1 type=$2 system=$1/system
  shift 2
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # The simulator is built on the test tree's encoders, so the tests are
  # configured too; only what is asked for is built.
  cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DVEXMOR_TESTS=ON -DVEXMOR_TEST_HOOKS=ON \
    -DVEXMOR_ETC_DIR="$system/etc/opt/vordane/scanner/kavrun5" -DVEXMOR_OPT_DIR="$system/opt/vordane/scanner/kavrun5" \
    -DVEXMOR_TEMP_DIR="$system/tmp" -DVEXMOR_PRIVATE_TMP_DIR="$system/private/tmp" "${launcher[@]}" >/dev/null
  cmake --build "$tree" -j "$(nproc)" --target sane_vordane5 vexmor velloc_dispatcher velloc_net velloc_usb \
    scanner-sim "$@" >/dev/null
}
