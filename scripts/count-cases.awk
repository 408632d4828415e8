# Counts the test cases of one `ctest -V` log (scripts/run-tests.sh).
# Prints one line per program, "case <name> <passed> <failed> <status>";
# "fail <program> <case>" for each case that failed (or was running when its
# program died, or a program's own failure where no case is named);
# "path <path> <passed> <failed> <skipped>" for each processor-dependent
# path; and a last line "total <passed> <failed> <skipped> <path passed>
# <path failed>".
#
# Processor-dependent cases are those of a GoogleTest suite named
# ProcessorPath<Path> (ProcessorPathAvx2, ProcessorPathSse2Vex, ...). They
# count among the passed and failed like every case, and also apart, by
# path, since how many of them run depends on the processor: the caller
# keeps them out of the floors. One skipped because the processor lacks its
# path ("not on this processor") is listed as such and is not a skip of its
# program; a program whose only skips are those does not count as skipping
# every case.
#
# A GoogleTest program (Wine or native) counts its own summary. A program
# under node, or a script test, that prints "ok - " lines counts them, and
# its "not ok - " lines as failures, plus one failure when it failed without
# such a line; a script test that prints none counts as one case. A program
# that ends without its summary (a crash, a timeout) counts the cases it
# finished as passed and the rest, at least one, as failed; one that printed
# a summary and still failed (a heap report, a crash at exit) counts at
# least one failure. A program that ran no case, or skipped every case it
# has, counts one failure: a filter or a missing precondition must not pass
# for a green run.
/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: / {
  k = $3; sub(/^#/, "", k); sub(/:$/, "", k)
  name[k] = $4
  passedRun[k] = ($0 ~ / Passed +[0-9.]+ sec/)
  status[k] = passedRun[k] ? "passed" : "failed"
  next
}
/^[0-9]+: / {
  k = $1; sub(/:$/, "", k)
  text = substr($0, length($1) + 2)
  sub(/\r$/, "", text)
  if (text ~ /^Test command: /) {
    split(substr(text, 15), words, " ")
    script[k] = (words[1] ~ /(^|\/)(ba|da)?sh$/)
    node[k] = (words[1] ~ /(^|\/)node(js)?$/)
  } else if (text ~ /^\[==========\] Running [0-9]+ tests?/ && !(k in running)) {
    split(text, w, " "); running[k] = w[3] + 0
  } else if (text ~ /^\[  PASSED  \] [0-9]+ tests?\./) {
    split(text, w, " "); summaryPassed[k] = w[4] + 0
  } else if (text ~ /^\[  FAILED  \] [0-9]+ tests?, listed below/) {
    split(text, w, " "); summaryFailed[k] = w[4] + 0
  } else if (text ~ /^\[  SKIPPED \] [0-9]+ tests?, listed below/) {
    split(text, w, " "); summarySkipped[k] = w[4] + 0
  } else if (text ~ /^\[ RUN      \] /) {
    current[k] = substr(text, 14); notOnProcessor[k] = 0
  } else if (text == "not on this processor") {
    notOnProcessor[k] = 1
  } else if (text ~ /^\[       OK \] .* \([0-9]+ ms\)$/) {
    finished[k]++
    caseEnded(k, text, "passed")
  } else if (text ~ /^\[  SKIPPED \] .* \([0-9]+ ms\)$/) {
    caseEnded(k, text, "skipped")
  } else if (text ~ /^\[  FAILED  \] .* \([0-9]+ ms\)$/) {
    caseEnded(k, text, "failed")
    failures[k] = failures[k] "\n" caseName(text)
  } else if (text ~ /^ok - /) {
    oks[k]++
  } else if (text ~ /^not ok - /) {
    notOks[k]++
    failures[k] = failures[k] "\n" substr(text, 10)
  }
}

# The case a result line names, without its parameter's description.
function caseName(text,    n) {
  n = substr(text, 14)
  sub(/ \([0-9]+ ms\)$/, "", n)
  sub(/, where .*/, "", n)
  return n
}

# The path of a processor-dependent case ("Avx2" of
# "Widths/ProcessorPathAvx2.Case/0" or "ProcessorPathAvx2/0.Case"), or "".
function processorPath(name,    suite, parts, i) {
  suite = name
  sub(/\..*/, "", suite)
  split(suite, parts, "/")
  for (i in parts) if (parts[i] ~ /^ProcessorPath[A-Z]/) return substr(parts[i], 14)
  return ""
}

function caseEnded(k, text, outcome,    path) {
  delete current[k]
  path = processorPath(caseName(text))
  if (path == "") return
  paths[path] = 1
  if (outcome == "passed") { pathPassed[path]++; procPassed[k]++ }
  else if (outcome == "failed") { pathFailed[path]++; procFailed[k]++ }
  else if (notOnProcessor[k]) { pathSkipped[path]++; procSkipped[k]++ }
}
END {
  tp = 0; tf = 0; ts = 0; tpp = 0; tpf = 0
  for (k in name) {
    p = 0; f = 0; s = 0
    if ((node[k] || (script[k] && oks[k] + notOks[k] > 0)) && !(k in running)) {
      p = oks[k] + 0; f = notOks[k] + 0
      if (!passedRun[k] && f == 0) f = 1
      if (p + f == 0) { f = 1; status[k] = status[k] " (no check ran)" }
    } else if (script[k] && !(k in running)) {
      if (passedRun[k]) p = 1; else f = 1
    } else if (k in summaryPassed) {
      p = summaryPassed[k]; f = summaryFailed[k] + 0
      s = summarySkipped[k] - procSkipped[k]
      if (!passedRun[k] && f == 0) f = 1
      if (p == 0 && f == 0 && !(procSkipped[k] > 0 && s == 0)) {
        f = 1
        status[k] = s > 0 ? "every case skipped" : "ran no case"
      } else if (p == 0 && f == 0) {
        status[k] = status[k] " (every case not on this processor)"
      }
    } else {
      p = finished[k] + 0
      f = running[k] - p
      if (f < 1) f = 1
      status[k] = status[k] " (no summary)"
      if (k in current) failures[k] = failures[k] "\n" current[k] " (its program ended in it)"
    }
    printf "case %s %d %d %s\n", name[k], p, f, status[k]
    if (f > 0 && failures[k] == "") failures[k] = "\n(" status[k] ")"
    n = split(substr(failures[k], 2), listed, "\n")
    for (i = 1; f > 0 && i <= n; i++) printf "fail %s %s\n", name[k], listed[i]
    tp += p; tf += f; ts += s; tpp += procPassed[k]; tpf += procFailed[k]
  }
  for (path in paths)
    printf "path %s %d %d %d\n", path, pathPassed[path], pathFailed[path], pathSkipped[path]
  printf "total %d %d %d %d %d\n", tp, tf, ts, tpp, tpf
}
