#!/bin/sh
# scripts/count-cases.awk on a `ctest -V` log as GoogleTest and ctest write
# it: processor-dependent cases (ProcessorPath<Path> suites) counted among
# the passed and failed and apart by path, a skip for want of the path not a
# skip of its program, any other skip still one, and a program that died
# named with the case it died in.
#   count_cases_test.sh <source folder> <work folder below the build folder>
# Prints one "ok - " or "not ok - " line per check; exits 1 if any failed.
set -u
source=$1
work=$2
mkdir -p "$work"
log=$work/ctest.log
cat >"$log" <<'EOF'
1: Test command: /b/bin/mixed_tests
1: [==========] Running 5 tests from 3 test suites.
1: [ RUN      ] ProcessorPathAvx2.Converts
1: t.cpp:2: Skipped
1: not on this processor
1: [  SKIPPED ] ProcessorPathAvx2.Converts (0 ms)
1: [ RUN      ] Widths/ProcessorPathSse2Vex.Converts/0
1: [       OK ] Widths/ProcessorPathSse2Vex.Converts/0 (0 ms)
1: [ RUN      ] Widths/ProcessorPathSse2Vex.Converts/1
1: t.cpp:5: Failure
1: [  FAILED  ] Widths/ProcessorPathSse2Vex.Converts/1, where GetParam() = 1 (0 ms)
1: [ RUN      ] Plain.Skips
1: t.cpp:7: Skipped
1: no board here
1: [  SKIPPED ] Plain.Skips (0 ms)
1: [ RUN      ] Plain.Passes
1: [       OK ] Plain.Passes (0 ms)
1: [==========] 5 tests from 3 test suites ran. (0 ms total)
1: [  PASSED  ] 2 tests.
1: [  SKIPPED ] 2 tests, listed below:
1: [  SKIPPED ] ProcessorPathAvx2.Converts
1: [  SKIPPED ] Plain.Skips
1: [  FAILED  ] 1 test, listed below:
1: [  FAILED  ] Widths/ProcessorPathSse2Vex.Converts/1, where GetParam() = 1
1/4 Test #1: mixed ............................***Failed    0.01 sec
2: Test command: /b/bin/paths_tests
2: [==========] Running 1 test from 1 test suite.
2: [ RUN      ] ProcessorPathAvx512.Converts
2: t.cpp:2: Skipped
2: not on this processor
2: [  SKIPPED ] ProcessorPathAvx512.Converts (0 ms)
2: [  PASSED  ] 0 tests.
2: [  SKIPPED ] 1 test, listed below:
2: [  SKIPPED ] ProcessorPathAvx512.Converts
2/4 Test #2: paths ............................   Passed    0.01 sec
3: Test command: /b/bin/skips_tests
3: [==========] Running 1 test from 1 test suite.
3: [ RUN      ] ProcessorPathAvx512.Refuses
3: t.cpp:9: Skipped
3: no board here
3: [  SKIPPED ] ProcessorPathAvx512.Refuses (0 ms)
3: [  PASSED  ] 0 tests.
3: [  SKIPPED ] 1 test, listed below:
3: [  SKIPPED ] ProcessorPathAvx512.Refuses
3/4 Test #3: skips ............................   Passed    0.01 sec
4: Test command: /b/bin/died_tests
4: [==========] Running 2 tests from 1 test suite.
4: [ RUN      ] ProcessorPathAvx2.Converts
4: [       OK ] ProcessorPathAvx2.Converts (1 ms)
4: [ RUN      ] Board.Opens
4/4 Test #4: died .............................***Exception: SegFault  0.01 sec
EOF
counts=$(awk -f "$source/scripts/count-cases.awk" "$log")
failures=0
check() {  # check <what> <line expected in the counts>
  if printf '%s\n' "$counts" | grep -qxF "$2"; then
    echo "ok - $1"
  else
    echo "not ok - $1 (no line \"$2\" in: $(printf '%s' "$counts" | tr '\n' '|'))"
    failures=$((failures + 1))
  fi
}
check "processor cases count among passed and failed, a skip for want of the path is no skip" \
  "case mixed 2 1 failed"
check "a program whose only skips are for want of the path has not skipped every case" \
  "case paths 0 0 passed (every case not on this processor)"
check "a processor case skipped for another reason is a skip: its program skipped every case" \
  "case skips 0 1 every case skipped"
check "each path counted apart, with the cases not on this processor" \
  "path Avx2 1 0 1"
check "a program that died names the case it died in" \
  "fail died Board.Opens (its program ended in it)"
check "the totals carry the processor cases apart (passed, failed, skipped, path passed, path failed)" \
  "total 3 3 2 2 1"
[ "$failures" -eq 0 ]
