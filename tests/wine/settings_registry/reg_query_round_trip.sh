#!/bin/sh
# Saves a worksheet with the real tarnix.dll in a Wine prefix made for this
# run only, then reads the worksheet key back with Wine's own "reg query":
# the values must be there as a separate program sees them.
#   reg_query_round_trip.sh <wine-run.sh> <wine_settings_tests.exe> [32|64]
set -eu
runner=$1
program=$2
bits=${3:-32}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarnix-settings-prefix.XXXXXX")
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export TARNIX_WINEPREFIX="$prefix"

"$runner" "$program" --gtest_filter=WorksheetDll.SaveWritesFiveDwordsThatLoadBringsBack

# The module's keys are in the registry view of its own width (the 32-bit
# module's under the 32-bit view, the 64-bit module's under the 64-bit one).
# Into a file, not a pipe: the Wine server and desktop started for the
# command inherit its output and would hold a pipe open long after it ended.
# The 64-bit flavour asks through Wine's 64-bit loader, as its programs run.
wine=wine
if [ "$bits" = 64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER="$wine"
fi
status=0
WINEPREFIX="$prefix" WINEDEBUG=-all "$wine" reg query \
  'HKLM\Software\Morvane\VELQ\Sorvik\wine bench' /reg:$bits >"$prefix/query.txt" 2>&1 </dev/null ||
  status=$?
out=$(tr -d '\r' <"$prefix/query.txt")
echo "$out"
fail=0
if [ "$status" -ne 0 ]; then
  echo "reg query failed with exit status $status" >&2
  fail=1
fi
expect() {
  if ! printf '%s\n' "$out" | grep -Eiq "^ +$1 +REG_DWORD +$2\$"; then
    echo "missing or wrong: $1 REG_DWORD $2" >&2
    fail=1
  fi
}
expect SerialNo '0x[0-9a-f]+'
expect ClockSource 0x1
expect Gain 0xffffffff
expect Range 0x1
expect Mode 0xffffffff
# The spelling the module writes, not the one it reads with.
printf '%s\n' "$out" | grep -q ' SerialNo ' || { echo "SerialNo not spelled as written" >&2; fail=1; }
exit $fail
