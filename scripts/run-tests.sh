#!/bin/sh
# Configures, builds and tests each flavour (presets native, native-asan,
# windows, and windows64 where CMakePresets.json defines it; TARNIX_PRESETS
# picks others), fuzzes the module for TARNIX_FUZZ_SECONDS (default 90; 0
# skips it) and ends with one summary line, `tests: N passed, M failed`,
# counting test cases: each GoogleTest case (native and Wine programs), each
# script test as one, the fuzz run as one (scripts/count-cases.awk). A
# program that crashes or ends without its summary counts as failed.
# Exits non-zero when a flavour fails to build or any counted case fails.
#
# Where this machine runs 32-bit programs only through qemu-user (see
# scripts/setup.sh), Wine itself is unreliable: its programs crash at random
# under the emulator, whatever they run. There the 32-bit Windows flavour
# (windows) must still build, and its Wine tests still run, but their results
# are informational, kept out of the counts and named in one line before the
# summary; on a machine that runs 32-bit code natively they count like every
# other test. The 64-bit flavour (windows64) needs no 32-bit Linux code and
# always counts. TARNIX_WINE32=emulated or =native overrides the detection
# (emulated lets the informational path be tried on a native machine).
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
fuzz_seconds="${TARNIX_FUZZ_SECONDS:-90}"
logs=build/logs
mkdir -p "$logs"

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
    informational="windows: $good/$((good + bad)) cases passed"
    report="$report $preset:informational ($timing)"
    continue
  fi
  passed=$((passed + good))
  failed=$((failed + bad))
  note=""
  [ "$skipped" -gt 0 ] && note=", $skipped skipped"
  report="$report $preset:$good/$((good + bad)) ($timing$note)"
done

if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz: $fuzz_seconds s"
  started=$(date +%s)
  if sh scripts/fuzz.sh "$fuzz_seconds"; then
    passed=$((passed + 1))
    outcome=1/1
  else
    failed=$((failed + 1))
    outcome=0/1
  fi
  report="$report fuzz:$outcome ($(($(date +%s) - started)) s)"
fi

echo "== flavours (cases passed/total):$report"
if [ -n "$informational" ]; then
  echo "== not counted: 32-bit Wine runs only through qemu-user here; $informational (informational)"
fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
