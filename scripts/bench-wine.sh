#!/bin/sh
# Runs the Windows flavour's conversion benchmark (bench_dll_transfer) under
# Wine, beside the tarnix.dll and VLQAPI.dll of the same build.
#   scripts/bench-wine.sh [build dir] [benchmark options]
# The build dir defaults to build/windows; any Windows preset (32- or 64-bit)
# that built the target bench_dll_transfer works the same way. The load
# average before and after is printed with the figures: other work on the
# machine slows the measurements.
set -e
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-$here/../build/windows}
[ $# -gt 0 ] && shift
prog="$dir/bin/bench_dll_transfer.exe"
if [ ! -f "$prog" ]; then
  echo "bench-wine: $prog not built (cmake --build --preset windows --target bench_dll_transfer)" >&2
  exit 2
fi
grep -m1 -o 'model name.*' /proc/cpuinfo 2>/dev/null || true
flags=$(grep -m1 '^flags' /proc/cpuinfo 2>/dev/null | tr ' ' '\n' | grep -xE 'sse2|ssse3|sse4_1|avx|avx2|avx512f|avx512bw|avx512vl|avx512vbmi' | tr '\n' ' ')
[ -n "$flags" ] && echo "processor features: $flags"
load() { cut -d' ' -f1-3 /proc/loadavg 2>/dev/null; }
echo "load average before: $(load)"
cd "$dir/bin"
status=0
"$here/wine-run.sh" ./bench_dll_transfer.exe "$@" || status=$?
echo "load average after: $(load)"
exit $status
