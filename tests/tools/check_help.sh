#!/bin/sh
# A tool as a user meets it: "<tool> --help" exits 0 and prints its usage,
# starting "usage: <name>", on standard output.
#   check_help.sh <tool> <name>
out=$("$1" --help 2>/dev/null) || { echo "$2 --help exited $?"; exit 1; }
case "$out" in
"usage: $2 "*) exit 0 ;;
*) echo "$2 --help printed: $out"; exit 1 ;;
esac
