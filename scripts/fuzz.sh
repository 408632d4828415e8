#!/bin/sh
# Fuzzes the whole module (every entry point, the host record, the simulated
# board library, system failures) with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh --check       the fuzz step of `make test`: bounded and
#                                 seeded. The committed seeds (fuzz/corpus),
#                                 in name order, a fixed seed
#                                 (TARNIX_FUZZ_SEED, default 1) and a fixed
#                                 number of runs (TARNIX_FUZZ_RUNS, default
#                                 20000), with address randomisation off.
#                                 The first mutations repeat; later ones can
#                                 drift, since a heap address the module
#                                 compares becomes a mutation value and the
#                                 heap is not laid out exactly alike from run
#                                 to run. A failing input itself always
#                                 replays.
#   scripts/fuzz.sh [SECONDS]     open-ended fuzzing for SECONDS (default 90)
#                                 from the corpus in build/fuzz/corpus, which
#                                 starts as a copy of the seeds and keeps
#                                 growing from run to run.
#   scripts/fuzz.sh --coverage    replay the corpus in a coverage build and
#                                 print the line coverage of src/
#
# Both fuzzing modes exit non-zero when an input crashes the module or
# breaks a check of the fuzz target (fuzz/driver_fuzzer.cpp); the log then
# shows each failing input in base64 (it outlives build/), and how to replay
# it: `base64 -d >FILE`, then `build/fuzz/bin/tarnix_fuzz FILE`
# (TARNIX_FUZZ_TRACE=1 shows the module's trace). A failing input that is
# fixed belongs in fuzz/corpus as regress_<what>. Failing inputs land in
# build/fuzz/crashes; extra libFuzzer flags can be given in
# TARNIX_FUZZ_FLAGS (e.g. -jobs=1 -workers=1).
set -eu

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
jobs="${TARNIX_FUZZ_BUILD_JOBS:-2}"

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

# The registry store of the inputs: a folder of the build, emptied first.
work_folder() {
  rm -rf "$1"
  mkdir -p "$1"
  export TARNIX_FUZZ_WORKDIR="$1"
}

if [ "${1:-}" = "--coverage" ]; then
  cov="$root/build/fuzz-coverage"
  configure_and_build "$cov" "-fprofile-instr-generate -fcoverage-mapping -Wno-unknown-warning-option" OFF
  work_folder "$cov/work"
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

configure_and_build "$build" "-fsanitize=fuzzer-no-link -Wno-unknown-warning-option" ON
work_folder "$build/work"
rm -rf "$build/crashes"
mkdir -p "$build/crashes"
log="$build/last-run.log"
common="-timeout=20 -rss_limit_mb=2048 -max_len=4096 -artifact_prefix=$build/crashes/ -print_final_stats=1"

if [ "${1:-}" = "--check" ]; then
  runs="${TARNIX_FUZZ_RUNS:-20000}"
  seed="${TARNIX_FUZZ_SEED:-1}"
  what="$runs runs from seed $seed"
  # libFuzzer reads a corpus folder in the file system's order and picks
  # among equally long inputs by it; named one by one, in name order, the
  # seeds come in the same order everywhere. New inputs go to an empty
  # folder. The harness keys its memory bookkeeping by address, and
  # libFuzzer learns from compared values: without address randomisation
  # those values stay close from run to run.
  list="$build/check-seeds.txt"
  # No newline at the end: libFuzzer would take it as part of the last name
  # and leave that seed out without a word.
  find "$root/fuzz/corpus" -maxdepth 1 -type f | LC_ALL=C sort | paste -sd, - | tr -d '\n' >"$list"
  rm -rf "$build/check-corpus"
  mkdir -p "$build/check-corpus"
  fixed=""
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    fixed="setarch $(uname -m) -R"
  else
    echo "fuzz: address randomisation cannot be turned off here; the run drifts sooner" >&2
  fi
  status=0
  # shellcheck disable=SC2086
  $fixed "$build/bin/tarnix_fuzz" "$build/check-corpus" -seed_inputs=@"$list" \
    -seed="$seed" -runs="$runs" $common ${TARNIX_FUZZ_FLAGS:-} >"$log" 2>&1 || status=$?
else
  seconds="${1:-90}"
  what="${seconds} s"
  mkdir -p "$build/corpus"
  cp -n "$root"/fuzz/corpus/* "$build/corpus/"
  status=0
  # shellcheck disable=SC2086
  "$build/bin/tarnix_fuzz" "$build/corpus" -max_total_time="$seconds" $common \
    ${TARNIX_FUZZ_FLAGS:-} >"$log" 2>&1 || status=$?
fi

done_runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
if [ "${1:-}" = "--check" ] && [ "$status" -eq 0 ]; then
  # Every committed seed must have been read: a seed left out is a
  # regression input no longer tried.
  seeds=$(find "$root/fuzz/corpus" -maxdepth 1 -type f | wc -l)
  loaded=$(sed -n 's/^INFO: seed corpus: files: \([0-9]*\).*/\1/p' "$log" | head -n 1)
  if [ "${loaded:-0}" -ne "$seeds" ]; then
    echo "fuzz: FAILED: libFuzzer read ${loaded:-no} of the $seeds seeds in fuzz/corpus; log $log"
    exit 1
  fi
fi
if [ "$status" -ne 0 ]; then
  grep -E "ERROR|runtime error|tarnix_fuzz:|Test unit written|^    #[0-9]" "$log" | head -n 40 >&2
  for input in "$build"/crashes/*; do
    [ -f "$input" ] || continue
    echo "fuzz: failing input $(basename "$input") (base64; replay: base64 -d >FILE, build/fuzz/bin/tarnix_fuzz FILE):"
    base64 -w0 "$input"
    echo
  done
  echo "fuzz: FAILED after ${done_runs:-?} runs of $what (exit $status); log $log"
  exit "$status"
fi
echo "fuzz: ${done_runs:-?} runs ($what), no failure; log $log"
