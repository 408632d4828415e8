#!/bin/sh
# Stand-in for the host exerciser's demo while it is not built: loads nothing,
# only shows that the native module carries every entry point of its export
# table (abi/driver/abi/driver_entries.h, one OWN or SHARED row each).
set -e
root="$(dirname "$0")/.."
lib="${1:-build/native/bin/libtarnix.so}"
expected=$(grep -c '^ *\(OWN\|SHARED\)(' "$root/abi/driver/abi/driver_entries.h")
count=$(nm -D --defined-only "$lib" | awk '$3 ~ /^DRV_/ {print $3}' | sort | tee /dev/stderr | wc -l)
echo "$lib: $count DRV_ entry points ($expected expected)"
[ "$count" -eq "$expected" ]
