#!/bin/sh
# Configures, builds and tests each flavour (presets native, native-asan,
# windows, and windows64 where CMakePresets.json defines it; TARNIX_PRESETS
# picks others), runs the seeded fuzz check (scripts/fuzz.sh --check:
# TARNIX_FUZZ_RUNS runs, default 20000, from a fixed seed over the committed
# corpus; TARNIX_FUZZ_RUNS=0 or TARNIX_FUZZ_SECONDS=0 skips it) and ends with
# one summary line, `tests: N passed, M failed`, counting test cases: each
# GoogleTest case (native and Wine programs), each "ok - " check of a node or
# script test that prints them, any other script test as one, the fuzz run
# as one (scripts/count-cases.awk). A program that crashes, ends without its
# summary, runs no case or skips every case counts as failed.
# Exits non-zero when a flavour fails to build or any counted case fails.
#
# Each flavour has a floor in tests/case-floors: the cases it counted when it
# last landed. A flavour that counts fewer (a test program or a folder of
# tests gone missing, a filter left in the environment) fails the run. After
# adding tests, raise the floors: TARNIX_RAISE_FLOORS=1 makes a run write
# the count of each flavour that passed completely into that file, where it
# is above the floor (it never lowers one); commit the file with the tests.
#
# Where this machine runs 32-bit programs only through qemu-user (see
# scripts/setup.sh), Wine itself is unreliable: its programs crash at random
# under the emulator, whatever they run. There the 32-bit Windows flavour
# (windows) must still build, and its Wine tests still run, but their results
# are informational, kept out of the counts and named in one line before the
# summary; on a machine that runs 32-bit code natively they count like every
# other test. The 64-bit flavour (windows64) needs no 32-bit Linux code and
# always counts. TARNIX_WINE32=emulated or =native overrides the detection
# (emulated lets the informational path be tried on a native machine). The
# static check of the 32-bit DLL's exports (test dll_exports_static) runs no
# Wine and counts on every machine; the floor of windows applies only where
# its Wine tests count.
#
# Build output goes to build/logs/<preset>-*.log (its tail is shown on a
# failure); the full test output is in build/logs/<preset>-test.log, and the
# output of each failed program is shown.
set -u
cd "$(dirname "$0")/.."
default_presets="native native-asan windows"
if grep -q '"name": *"windows64"' CMakePresets.json; then
  default_presets="$default_presets windows64"
fi
presets="${TARNIX_PRESETS:-$default_presets}"
jobs="${TARNIX_TEST_JOBS:-2}"
fuzz_runs="${TARNIX_FUZZ_RUNS:-20000}"
[ "${TARNIX_FUZZ_SECONDS:-}" = 0 ] && fuzz_runs=0
floors=tests/case-floors
logs=build/logs
mkdir -p "$logs"
# The counts a TARNIX_RAISE_FLOORS run may write, "<flavour> <cases>".
raise="$logs/raise-floors.txt"
: >"$raise"

wine_emulated=""
case "${TARNIX_WINE32:-}" in
  emulated) wine_emulated=1 ;;
  native) ;;
  *)
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] &&
       grep -q '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
      wine_emulated=1
    fi ;;
esac

passed=0
failed=0
report=""
informational=""
for preset in $presets; do
  started=$(date +%s)
  echo "== $preset: configure and build"
  extra=""
  if [ "$preset" = windows ]; then
    # Set every time: the value stays in the build's cache.
    if [ -n "$wine_emulated" ]; then
      extra="-DTARNIX_WINE_TEST_TIMEOUT=300"
    else
      extra="-DTARNIX_WINE_TEST_TIMEOUT=900"
    fi
  fi
  # shellcheck disable=SC2086
  if ! cmake --preset "$preset" $extra >"$logs/$preset-configure.log" 2>&1; then
    tail -n 40 "$logs/$preset-configure.log"
    echo "== $preset: configure FAILED (see $logs/$preset-configure.log)"
    failed=$((failed + 1))
    report="$report $preset:configure-failed"
    continue
  fi
  if ! cmake --build --preset "$preset" >"$logs/$preset-build.log" 2>&1; then
    grep -E 'error|Error' "$logs/$preset-build.log" | head -n 40
    tail -n 20 "$logs/$preset-build.log"
    echo "== $preset: build FAILED (see $logs/$preset-build.log)"
    failed=$((failed + 1))
    report="$report $preset:build-failed"
    continue
  fi
  built=$(date +%s)
  echo "== $preset: test"
  # Verbose into the log (every line of test K starts with "K: "), the
  # progress lines on the terminal.
  ctest --preset "$preset" -j "$jobs" -V >"$logs/$preset-test.log" 2>&1
  grep -vE '^[0-9]+: ' "$logs/$preset-test.log" |
    grep -vE '^(UpdateCTestConfiguration|Parse Config|Constructing|Checking test|Test project|test [0-9]+$|Done constructing|Updating test list|Added [0-9]+ tests? to meet|$)'
  awk -f scripts/count-cases.awk "$logs/$preset-test.log" >"$logs/$preset-cases.txt"
  # The output of each failed program, as ctest would show it.
  for number in $(sed -n -E 's/^ *[0-9]+\/[0-9]+ +Test +#([0-9]+): .*/\1 &/p' "$logs/$preset-test.log" |
                  grep -v ' Passed ' | cut -d' ' -f1); do
    echo "-- output of test $number:"
    sed -n "s/^$number: //p" "$logs/$preset-test.log" | tail -n 200
  done
  grep '^case ' "$logs/$preset-cases.txt" | sort -k2 |
    awk '{ printf "   %-28s %5d passed %3d failed  %s\n", $2, $3, $4, substr($0, index($0, $5)) }'
  set -- $(grep '^total ' "$logs/$preset-cases.txt")
  good=$2 bad=$3 skipped=$4
  programs=$(grep -c '^case ' "$logs/$preset-cases.txt")
  finished=$(date +%s)
  timing="build $((built - started)) s, test $((finished - built)) s"
  if [ "$programs" -eq 0 ]; then
    echo "== $preset: ctest ran no tests"
    failed=$((failed + 1))
    report="$report $preset:no-tests"
    continue
  fi
  if [ "$preset" = windows ] && [ -n "$wine_emulated" ]; then
    # Only the static check of the DLL counts here.
    set -- $(awk '$1 == "case" && $2 == "dll_exports_static" { print $3, $4 }' "$logs/$preset-cases.txt")
    static_good=${1:-0} static_bad=${2:-1}
    [ $# -eq 0 ] && echo "== $preset: the static check of the DLL's exports did not run"
    passed=$((passed + static_good))
    failed=$((failed + static_bad))
    informational="windows: $((good - static_good))/$((good + bad - static_good - static_bad)) Wine cases passed"
    report="$report $preset:static $static_good/$((static_good + static_bad)), Wine informational ($timing)"
    continue
  fi
  passed=$((passed + good))
  failed=$((failed + bad))
  note=""
  [ "$skipped" -gt 0 ] && note=", $skipped skipped"
  counted=$((good + bad))
  floor=$(awk -v p="$preset" '$1 == p { print $2 }' "$floors" 2>/dev/null)
  if [ -z "$floor" ] && [ -n "${TARNIX_RAISE_FLOORS:-}" ] && [ "$bad" -eq 0 ]; then
    echo "$preset $counted" >>"$raise"
  elif [ -z "$floor" ]; then
    echo "== $preset: no floor in $floors (add \"$preset <cases>\", or run with TARNIX_RAISE_FLOORS=1)"
    failed=$((failed + 1))
    note="$note, NO FLOOR"
  elif [ "$counted" -lt "$floor" ]; then
    echo "== $preset: $counted cases counted, fewer than its floor of $floor ($floors)"
    failed=$((failed + 1))
    note="$note, BELOW FLOOR $floor"
  elif [ "$counted" -gt "$floor" ] && [ "$bad" -eq 0 ]; then
    echo "$preset $counted" >>"$raise"
  fi
  report="$report $preset:$good/$counted ($timing$note)"
done

if [ "$fuzz_runs" -gt 0 ]; then
  echo "== fuzz: $fuzz_runs runs from a fixed seed"
  started=$(date +%s)
  if TARNIX_FUZZ_RUNS="$fuzz_runs" sh scripts/fuzz.sh --check; then
    passed=$((passed + 1))
    outcome=1/1
  else
    failed=$((failed + 1))
    outcome=0/1
  fi
  report="$report fuzz:$outcome ($(($(date +%s) - started)) s)"
fi

if [ -n "${TARNIX_RAISE_FLOORS:-}" ] && [ -s "$raise" ]; then
  while read -r preset counted; do
    if grep -q "^$preset " "$floors" 2>/dev/null; then
      sed -i "s/^$preset .*/$preset $counted/" "$floors"
    else
      echo "$preset $counted" >>"$floors"
    fi
    echo "== $preset: floor raised to $counted in $floors"
  done <"$raise"
elif [ -s "$raise" ]; then
  echo "== more cases than the floors in $floors:" $(tr '\n' ' ' <"$raise") "(TARNIX_RAISE_FLOORS=1 writes them)"
fi

echo "== flavours (cases passed/total):$report"
if [ -n "$informational" ]; then
  echo "== not counted: 32-bit Wine runs only through qemu-user here; $informational (informational)"
fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
