#!/bin/sh
# The 32-bit tarnix.dll read, not run: a PE image for the i386 machine that
# exports exactly the 35 entry points under their plain names, each of which
# returns with `ret $N`, N the bytes of arguments it takes (the callee
# removes its arguments, as the host expects). It needs no Wine, so the
# 32-bit calling convention is checked on every machine, also where 32-bit
# Wine runs only under an emulator. The argument bytes are this test's own
# list, kept apart from the module-definition file they check.
#   dll_exports_test.sh <tarnix.dll> <i686 objdump>
# Prints one "ok - " or "not ok - " line per check; exits 1 if any failed.
set -u
dll=$1
objdump=$2

# Copied here by hand on purpose, not read from the export table
# (abi/driver/abi/driver_entries.h) or the .def file made from it: these names
# and argument bytes are the binary interface hosts already built call, so a
# row added, renamed or changed there fails here until this list is changed
# with it.
expected='DRV_AdvanceAnalogOutputBuf 0
DRV_AdvanceCounterOutputBuf 0
DRV_AdvanceDigitalOutputBuf 0
DRV_AdvanceInputBuf 0
DRV_ExplainGainCode 8
DRV_GetAnalogOutputBuf 0
DRV_GetAnalogOutputStatus 0
DRV_GetCounterOutputBuf 0
DRV_GetCounterOutputStatus 0
DRV_GetDigitalOutputBuf 0
DRV_GetDigitalOutputStatus 0
DRV_GetHardwareDescription 0
DRV_GetInputBuf 0
DRV_GetInputBufStatus 0
DRV_GetMeasInfoEx 0
DRV_InitDevice 4
DRV_KillDevice 0
DRV_LoadWorksheet 4
DRV_NewWorksheet 0
DRV_ReadCounterInput 4
DRV_ReadDigitalInput 4
DRV_SaveWorksheet 4
DRV_SetAnalogOutputBufferMode 12
DRV_SetCounterOutputBufferMode 12
DRV_SetDigitalOutputBufferMode 12
DRV_SetInputBufferSize 4
DRV_SetScanList 12
DRV_ShowDialog 8
DRV_ShowError 0
DRV_StartMeas 0
DRV_StopMeas 0
DRV_TestStruct 0
DRV_WriteAnalogOutput 8
DRV_WriteCounterOutput 8
DRV_WriteDigitalOutput 8'

failed=0
result() {  # result <0 or 1> <what>
  if [ "$1" -eq 0 ]; then
    echo "ok - $2"
  else
    echo "not ok - $2"
    failed=1
  fi
}

if [ ! -f "$dll" ]; then
  echo "not ok - $dll exists"
  exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/dll-exports.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The machine field of the PE header (at the offset stored at 0x3c, after
# the "PE\0\0" signature): 0x14c is i386.
pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
signature=$(od -An -tx1 -j"$pe" -N4 "$dll" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')
[ "$signature" = 50450000 ] && [ "$machine" = 014c ]
result $? "PE image for machine i386 (signature $signature, machine 0x$machine)"

# The export directory as objdump prints it: the address table, "[ i]
# +base[ ordinal] rva Export RVA", and the name table, "[ i] name", where i
# is the entry's index in the address table.
"$objdump" -p "$dll" >"$work/headers.txt"
image_base=$(sed -n 's/^ImageBase[[:space:]]*//p' "$work/headers.txt")
awk '
  /^Export Address Table -- / { table = "address"; next }
  /^\[Ordinal\/Name Pointer\] Table/ { table = "names"; next }
  /^[[:space:]]*$/ { table = "" }
  table != "" && /^[[:space:]]*\[ *[0-9]+\]/ {
    index_ = $0; sub(/^[[:space:]]*\[ */, "", index_); sub(/\].*/, "", index_)
    rest = $0; sub(/^[[:space:]]*\[ *[0-9]+\] */, "", rest)
    if (table == "address") {
      sub(/^\+base\[ *[0-9]+\] */, "", rest); split(rest, w, " ")
      print "rva", index_ + 0, w[1]
    } else {
      print "name", index_ + 0, rest
    }
  }
' "$work/headers.txt" >"$work/exports.txt"
sed -n 's/^name [0-9]* //p' "$work/exports.txt" | sort >"$work/names.txt"
printf '%s\n' "$expected" | cut -d' ' -f1 | sort >"$work/expected.txt"
cmp -s "$work/names.txt" "$work/expected.txt"
result $? "exports exactly the 35 plain names ($(wc -l <"$work/names.txt") exported)"
if ! cmp -s "$work/names.txt" "$work/expected.txt"; then
  diff "$work/expected.txt" "$work/names.txt" | sed 's/^/    /'
fi

"$objdump" -d --no-show-raw-insn "$dll" >"$work/code.txt"

# How each export returns: every `ret` between its routine's symbol and the
# next one, and those of the routines it jumps to outside itself (tail
# calls), must take the expected bytes. The build keeps the DLL's symbols,
# so objdump marks where each routine starts.
base=$(printf '%d' "0x$image_base")
printf '%s\n' "$expected" | while read -r name bytes; do
  slot=$(awk -v n="$name" '$1 == "name" && $3 == n { print $2 }' "$work/exports.txt")
  rva=$(awk -v o="$slot" '$1 == "rva" && $2 == o { print $3 }' "$work/exports.txt")
  address=none
  [ -n "$slot" ] && [ -n "$rva" ] && address=$(printf '%x' $((base + 0x$rva)))
  echo "$name $bytes $address"
done >"$work/wanted.txt"

awk '
  function hex(s,   i, v) {
    s = tolower(s); v = 0
    for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v
  }
  FILENAME == ARGV[1] { name[++wanted] = $1; bytes[wanted] = $2; at[wanted] = $3; next }
  /^[0-9a-f]+ <.*>:$/ { routines++; starting[hex($1)] = routines; first[routines] = count + 1; next }
  /^ *[0-9a-f]+:\t/ {
    text = $0; sub(/^ *[0-9a-f]+:\t/, "", text)
    code[++count] = text; last[routines] = count
  }
  # The distinct byte counts of the returns reachable from routine r.
  function returns(r,   queue, queued, t, i, seen, found, b, w, out) {
    queue[1] = r; queued = 1
    for (t = 1; t <= queued; t++) {
      r = queue[t]
      if (seen[r]++) continue
      for (i = first[r]; i <= last[r]; i++) {
        if (code[i] ~ /^(repz |rep |bnd )?ret/) {
          b = 0
          if (match(code[i], /\$0x[0-9a-f]+/)) b = hex(substr(code[i], RSTART + 3, RLENGTH - 3))
          found[b] = 1
        } else if (code[i] ~ /^jmp +[0-9a-f]+( |$)/) {
          split(code[i], w, /[ \t]+/)
          if (hex(w[2]) in starting) queue[++queued] = starting[hex(w[2])]
        }
      }
    }
    out = ""
    for (b in found) out = out (out == "" ? "" : " ") b
    return out == "" ? "none" : out
  }
  END {
    bad = 0
    for (k = 1; k <= wanted; k++) {
      what = name[k] " returns with ret $" bytes[k]
      if (at[k] == "none") { print "not ok - " what " (not exported)"; bad = 1; continue }
      if (!(hex(at[k]) in starting)) {
        print "not ok - " what " (no routine starts at 0x" at[k] ")"; bad = 1; continue
      }
      got = returns(starting[hex(at[k])])
      if (got == bytes[k]) print "ok - " what
      else { print "not ok - " what " (at 0x" at[k] " it returns with: " got ")"; bad = 1 }
    }
    exit bad
  }
' "$work/wanted.txt" "$work/code.txt" || failed=1
exit $failed
