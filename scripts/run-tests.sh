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
# summary, with the cases that failed in this run; on a machine that runs
# 32-bit code natively they count like every other test. The 64-bit flavour
# (windows64) needs no 32-bit Linux code and always counts.
# TARNIX_WINE32=emulated or =native overrides the detection (emulated lets
# the informational path be tried on a native machine); the run says which
# it is and why. The static check of the 32-bit DLL's exports (test
# dll_exports_static) runs no Wine and counts on every machine, against a
# floor of its own (windows-static); the floor of windows, what the flavour
# counts where 32-bit code runs natively, applies only where its Wine tests
# count.
#
# Cases that depend on the processor (GoogleTest suites named
# ProcessorPath<Path>, see scripts/count-cases.awk) run wherever the
# processor has their path and fail the run when they fail, but are kept
# out of the floors, so that a floor set on one machine holds on another;
# each flavour lists them by path, with those not on this processor.
#
# TARNIX_PRESETS, TARNIX_FUZZ_RUNS=0, TARNIX_FUZZ_SECONDS=0 and
# TARNIX_WINE32=emulated narrow a run: one line before the summary names
# what was left out.
#
# Every process the tests start carries this run's TARNIX_RUN_ID in its
# environment; one still running when the run ends (a server a failed test
# did not stop, a Wine or browser process left behind) is named, stopped,
# and fails the run.
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

# Not exported: only what the run starts carries it.
run_id="tarnix-run-$$-$(date +%s%N)"

# Whether 32-bit code runs emulated here: what actually runs 32-bit
# programs, an enabled handler that gives them to qemu-user, decides.
wine_emulated=""
handler=/proc/sys/fs/binfmt_misc/qemu-i386
case "${TARNIX_WINE32:-}" in
  emulated) wine_emulated=1 wine_reason="TARNIX_WINE32=emulated" ;;
  native) wine_reason="TARNIX_WINE32=native" ;;
  *)
    if [ -e "$handler" ] && grep -q '^enabled' "$handler"; then
      wine_emulated=1
      wine_reason="the kernel hands 32-bit programs to $(sed -n 's/^interpreter //p' "$handler") ($handler is enabled)"
    else
      wine_reason="no enabled qemu-i386 handler in ${handler%/*}: 32-bit programs run natively"
    fi ;;
esac
case " $presets " in
  *" windows "*)
    if [ -n "$wine_emulated" ]; then
      echo "== 32-bit Wine results informational: $wine_reason"
    else
      echo "== 32-bit Wine results counted: $wine_reason"
    fi ;;
esac

# floor_check NAME COUNTED BAD: COUNTED against the floor NAME; a shortfall
# fails the run and goes into $note, a count above it (of a run without
# failures) into the counts a TARNIX_RAISE_FLOORS run writes.
floor_check() {
  floor=$(awk -v p="$1" '$1 == p { print $2 }' "$floors" 2>/dev/null)
  if [ -z "$floor" ] && [ -n "${TARNIX_RAISE_FLOORS:-}" ] && [ "$3" -eq 0 ]; then
    echo "$1 $2" >>"$raise"
  elif [ -z "$floor" ]; then
    echo "== $1: no floor in $floors (add \"$1 <cases>\", or run with TARNIX_RAISE_FLOORS=1)"
    failed=$((failed + 1))
    note="$note, NO FLOOR for $1"
  elif [ "$2" -lt "$floor" ]; then
    echo "== $1: $2 cases counted, fewer than its floor of $floor ($floors)"
    failed=$((failed + 1))
    note="$note, $1 BELOW FLOOR $floor"
  elif [ "$2" -gt "$floor" ] && [ "$3" -eq 0 ]; then
    echo "$1 $2" >>"$raise"
  fi
}

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
  TARNIX_RUN_ID=$run_id ctest --preset "$preset" -j "$jobs" -V >"$logs/$preset-test.log" 2>&1
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
  grep '^path ' "$logs/$preset-cases.txt" | sort -k2 | awk '
    { line = line sep $2 ": " ($3 + $4 > 0 ? $3 " passed, " $4 " failed" : "not on this processor")
      if ($3 + $4 > 0 && $5 > 0) line = line " (" $5 " not on this processor)"
      sep = "; " }
    END { if (line != "") print "   processor paths, outside the floor: " line }'
  set -- $(grep '^total ' "$logs/$preset-cases.txt")
  good=$2 bad=$3 skipped=$4 path_cases=$(($5 + $6))
  programs=$(grep -c '^case ' "$logs/$preset-cases.txt")
  finished=$(date +%s)
  timing="build $((built - started)) s, test $((finished - built)) s"
  if [ "$programs" -eq 0 ]; then
    echo "== $preset: ctest ran no tests"
    failed=$((failed + 1))
    report="$report $preset:no-tests"
    continue
  fi
  note=""
  if [ "$preset" = windows ]; then
    # The static check of the DLL: counted on every machine, with a floor
    # of its own.
    set -- $(awk '$1 == "case" && $2 == "dll_exports_static" { print $3, $4 }' "$logs/$preset-cases.txt")
    static_good=${1:-0} static_bad=${2:-1}
    [ $# -eq 0 ] && echo "== $preset: the static check of the DLL's exports did not run"
    floor_check windows-static "$((static_good + static_bad))" "$static_bad"
  fi
  if [ "$preset" = windows ] && [ -n "$wine_emulated" ]; then
    # Only the static check counts here; the Wine cases are named.
    passed=$((passed + static_good))
    failed=$((failed + static_bad))
    wine="$((good - static_good))/$((good + bad - static_good - static_bad))"
    failing=$(awk '$1 == "fail" && $2 != "dll_exports_static" {
                     $1 = ""; sub(/^ /, ""); sub(/ /, ": "); printf "%s%s", sep, $0; sep = "; " }' \
                "$logs/$preset-cases.txt")
    informational="windows: $wine Wine cases passed${failing:+, failed: $failing}"
    report="$report $preset:static $static_good/$((static_good + static_bad)) (Wine $wine informational; $timing$note)"
    continue
  fi
  passed=$((passed + good))
  failed=$((failed + bad))
  [ "$skipped" -gt 0 ] && note="$note, $skipped skipped"
  [ "$path_cases" -gt 0 ] && note="$note, $path_cases processor-path cases outside the floor"
  counted=$((good + bad))
  floor_check "$preset" "$((counted - path_cases))" "$bad"
  report="$report $preset:$good/$counted ($timing$note)"
done

if [ "$fuzz_runs" -gt 0 ]; then
  echo "== fuzz: $fuzz_runs runs from a fixed seed"
  started=$(date +%s)
  if TARNIX_RUN_ID=$run_id TARNIX_FUZZ_RUNS="$fuzz_runs" sh scripts/fuzz.sh --check; then
    passed=$((passed + 1))
    outcome=1/1
  else
    failed=$((failed + 1))
    outcome=0/1
  fi
  report="$report fuzz:$outcome ($(($(date +%s) - started)) s)"
fi

# What the run left running: given the time to end that a Wine server (a
# few seconds after its last program) or a browser's helpers take.
survivors() {
  grep -l -a -F -e "TARNIX_RUN_ID=$run_id" /proc/[0-9]*/environ 2>/dev/null |
    sed -n 's,^/proc/\([0-9]*\)/environ$,\1,p'
}
left=$(survivors)
waited=0
while [ -n "$left" ] && [ "$waited" -lt 60 ]; do
  sleep 0.5
  waited=$((waited + 1))
  left=$(survivors)
done
if [ -n "$left" ]; then
  echo "== processes of this run still running after it (stopped now):"
  for pid in $left; do
    echo "   $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)(in $(readlink "/proc/$pid/cwd" 2>/dev/null))"
  done
  # One may have ended since: kill then has nothing to do.
  kill $left 2>/dev/null
  failed=$((failed + 1))
  report="$report left-running:$(echo $left | wc -w)"
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
  echo "== not counted ($wine_reason): $informational (informational)"
fi
# What this run left out, where the environment narrowed it.
leftout=""
for preset in $default_presets; do
  case " $presets " in *" $preset "*) ;; *) leftout="$leftout $preset" ;; esac
done
[ -z "$leftout" ] || leftout="the flavours$leftout (TARNIX_PRESETS=$presets)"
if [ "$fuzz_runs" -eq 0 ]; then
  why=TARNIX_FUZZ_RUNS=0
  [ "${TARNIX_FUZZ_SECONDS:-}" = 0 ] && why=TARNIX_FUZZ_SECONDS=0
  leftout="${leftout:+$leftout; }the fuzz check ($why)"
fi
case " $presets " in
  *" windows "*)
    [ "${TARNIX_WINE32:-}" != emulated ] ||
      leftout="${leftout:+$leftout; }the 32-bit Wine cases from the counts (TARNIX_WINE32=emulated)" ;;
esac
[ -z "$leftout" ] || echo "== left out of this run: $leftout"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
