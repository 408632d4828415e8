#!/bin/sh
# Configures, builds and tests each flavour (presets native, native-asan,
# windows; TARNIX_PRESETS picks others) and ends with one summary line.
# Exits non-zero when a flavour fails to build or any test fails.
#
# Build output goes to build/logs/<preset>-*.log (its tail is shown on a
# failure); test output is shown in full.
set -u
cd "$(dirname "$0")/.."
presets="${TARNIX_PRESETS:-native native-asan windows}"
jobs="${TARNIX_TEST_JOBS:-2}"
logs=build/logs
mkdir -p "$logs"

passed=0
failed=0
report=""
for preset in $presets; do
  echo "== $preset: configure and build"
  if ! cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1; then
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
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$logs/$preset-test.log"
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$preset-test.log" | tail -n 1)
  if [ -z "$summary" ]; then
    echo "== $preset: ctest gave no summary"
    failed=$((failed + 1))
    report="$report $preset:no-tests"
    continue
  fi
  bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  report="$report $preset:$((total - bad))/$total"
done

echo "== flavours (passed/total):$report"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
