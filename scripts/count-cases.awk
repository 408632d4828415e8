# Counts the test cases of one `ctest -V` log (scripts/run-tests.sh).
# Prints one line per program, "case <name> <passed> <failed> <status>", and
# a last line "total <passed> <failed> <skipped>".
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
  } else if (text ~ /^\[       OK \] /) {
    finished[k]++
  } else if (text ~ /^ok - /) {
    oks[k]++
  } else if (text ~ /^not ok - /) {
    notOks[k]++
  }
}
END {
  tp = 0; tf = 0; ts = 0
  for (k in name) {
    p = 0; f = 0; s = 0
    if ((node[k] || (script[k] && oks[k] + notOks[k] > 0)) && !(k in running)) {
      p = oks[k] + 0; f = notOks[k] + 0
      if (!passedRun[k] && f == 0) f = 1
      if (p + f == 0) { f = 1; status[k] = status[k] " (no check ran)" }
    } else if (script[k] && !(k in running)) {
      if (passedRun[k]) p = 1; else f = 1
    } else if (k in summaryPassed) {
      p = summaryPassed[k]; f = summaryFailed[k] + 0; s = summarySkipped[k] + 0
      if (!passedRun[k] && f == 0) f = 1
      if (p == 0 && f == 0) {
        f = 1
        status[k] = s > 0 ? "every case skipped" : "ran no case"
      }
    } else {
      p = finished[k] + 0
      f = running[k] - p
      if (f < 1) f = 1
      status[k] = status[k] " (no summary)"
    }
    printf "case %s %d %d %s\n", name[k], p, f, status[k]
    tp += p; tf += f; ts += s
  }
  printf "total %d %d %d\n", tp, tf, ts
}
