#!/bin/sh
# Fuzzes the whole module (every entry point, the host record, the simulated
# board library, system failures) with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh [SECONDS]     build build/fuzz, fuzz for SECONDS (default 90);
#                                 exits non-zero when an input crashes the module
#   scripts/fuzz.sh --coverage    replay the corpus in a coverage build and print
#                                 the line coverage of src/
#
# The committed seeds (fuzz/corpus) are copied into build/fuzz/corpus, which
# grows from run to run; crashing inputs land in build/fuzz/crashes. Extra
# libFuzzer flags can be given in TARNIX_FUZZ_FLAGS (e.g. -jobs=1 -workers=1).
set -eu

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
jobs="${TARNIX_FUZZ_BUILD_JOBS:-2}"

# A private folder for the portable registry store, on memory-backed storage
# when there is some (every registry write is synced).
shm=/tmp
[ -w /dev/shm ] && shm=/dev/shm
work="$(mktemp -d "$shm/tarnix-fuzz-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export TARNIX_FUZZ_WORKDIR="$work"

configure_and_build() {
  dir="$1" flags="$2" sanitize="$3"
  cmake -S "$root" -B "$dir" -G "Unix Makefiles" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DTARNIX_SANITIZE="$sanitize" -DTARNIX_FUZZ=ON \
    -DTARNIX_BUILD_TESTS=OFF -DTARNIX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" -j"$jobs" --target tarnix_fuzz
}

if [ "${1:-}" = "--coverage" ]; then
  cov="$root/build/fuzz-coverage"
  configure_and_build "$cov" "-fprofile-instr-generate -fcoverage-mapping -Wno-unknown-warning-option" OFF
  corpus="$build/corpus"
  [ -d "$corpus" ] || corpus="$root/fuzz/corpus"
  rm -f "$cov"/*.profraw
  LLVM_PROFILE_FILE="$cov/replay-%p.profraw" \
    "$cov/bin/tarnix_fuzz" -runs=0 "$corpus" 2>"$cov/replay.log" || {
      tail -n 30 "$cov/replay.log"; exit 1; }
  llvm-profdata-14 merge -sparse "$cov"/*.profraw -o "$cov/corpus.profdata"
  echo "corpus: $corpus ($(ls "$corpus" | wc -l) inputs)"
  llvm-cov-14 report "$cov/bin/tarnix_fuzz" -instr-profile="$cov/corpus.profdata" "$root/src"
  exit 0
fi

seconds="${1:-90}"
configure_and_build "$build" "-fsanitize=fuzzer-no-link -Wno-unknown-warning-option" ON
mkdir -p "$build/corpus" "$build/crashes"
# The seeds overwrite copies of themselves; files libFuzzer added stay. A
# seed that cannot be copied ends the run (set -e) instead of fuzzing less.
cp "$root"/fuzz/corpus/* "$build/corpus/"

# libFuzzer exits non-zero on a crash, a leak, a sanitizer report or a hang.
log="$build/last-run.log"
status=0
# shellcheck disable=SC2086
"$build/bin/tarnix_fuzz" "$build/corpus" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix="$build/crashes/" -print_final_stats=1 ${TARNIX_FUZZ_FLAGS:-} \
  >"$log" 2>&1 || status=$?
runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
if [ "$status" -ne 0 ]; then
  grep -E "ERROR|runtime error|tarnix_fuzz:|Test unit written|^    #[0-9]" "$log" | head -n 40 >&2
  echo "fuzz: FAILED after ${runs:-?} runs (exit $status); log $log, input in $build/crashes/"
  exit "$status"
fi
echo "fuzz: ${runs:-?} runs in ${seconds} s, no crash ($(ls "$build/corpus" | wc -l) corpus inputs; log $log)"
