#!/bin/sh
# Stand-in for the host exerciser's demo while it is not built: loads nothing,
# only shows that the native module carries its 35 entry points.
set -e
lib="${1:-build/native/bin/libtarnix.so}"
count=$(nm -D --defined-only "$lib" | awk '$3 ~ /^DRV_/ {print $3}' | sort | tee /dev/stderr | wc -l)
echo "$lib: $count DRV_ entry points (35 expected)"
[ "$count" -eq 35 ]
