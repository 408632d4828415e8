#!/bin/sh
# Every text of the module's string table has a row of its own in the
# message table of the user guide, saying when it appears, so that no
# message the module can show is left unexplained.
#   user_guide_messages_test.sh <source folder>
# The string table is the STRINGTABLE block of src/ui/tarnix.rc; its entries
# name their texts through #defines in the headers (or quote them).
set -eu
src=$1
rc=$src/src/ui/tarnix.rc
guide=$src/docs/user-guide.md

# The text of one string-table entry: a quoted text, or a symbol whose
# #define is followed (a few steps at most) to a quoted text.
resolve() {
  value=$1
  for _ in 1 2 3 4; do
    case $value in
      \"*\")
        printf '%s\n' "$value" | sed 's/^"//; s/"$//'
        return 0 ;;
    esac
    value=$(grep -rhE "^[[:space:]]*#[[:space:]]*define[[:space:]]+$value[[:space:]]" \
              "$src/src" "$src/abi" 2>/dev/null | head -n 1 |
            sed -E "s/^[[:space:]]*#[[:space:]]*define[[:space:]]+[A-Za-z0-9_]+[[:space:]]+//; s/[[:space:]]+$//")
    [ -n "$value" ] || return 1
  done
  return 1
}

# Second word of each line inside STRINGTABLE ... BEGIN ... END (the id
# first, an optional comma after it).
entries=$(awk '
  /^[[:space:]]*STRINGTABLE/ { inside = 1; next }
  inside && /^[[:space:]]*BEGIN/ { next }
  inside && /^[[:space:]]*END/ { exit }
  inside && NF >= 2 { sub(/^[[:space:]]*[^[:space:],]+[[:space:]]*,?[[:space:]]*/, ""); print }
' "$rc")

# First and third cells ("message", "when it appears") of every row of the
# table in the guide's "## Messages" section, as "message<TAB>when".
rows=$(awk -F'|' '
  /^## / { inside = ($0 ~ /^## Messages[[:space:]]*$/); next }
  inside && /^\|/ && NF >= 5 {
    message = $2; when = $3
    gsub(/^[[:space:]]+|[[:space:]]+$/, "", message)
    gsub(/^[[:space:]]+|[[:space:]]+$/, "", when)
    print message "\t" when
  }
' "$guide")

count=0
fail=0
tab=$(printf '\t')
while IFS= read -r entry; do
  [ -n "$entry" ] || continue
  count=$((count + 1))
  if ! text=$(resolve "$entry"); then
    echo "FAILED: string-table entry $entry has no text in the headers" >&2
    fail=1
    continue
  fi
  when=$(printf '%s\n' "$rows" | awk -F"$tab" -v t="$text" '$1 == t { print $2; exit }')
  if ! printf '%s\n' "$rows" | awk -F"$tab" -v t="$text" '$1 == t { found = 1 } END { exit !found }'; then
    echo "FAILED: \"$text\" has no row in the message table of docs/user-guide.md" >&2
    fail=1
  elif [ -z "$when" ]; then
    echo "FAILED: \"$text\" does not say when it appears" >&2
    fail=1
  else
    echo "ok: \"$text\""
  fi
done <<END_OF_ENTRIES
$entries
END_OF_ENTRIES

if [ "$count" -eq 0 ]; then
  echo "FAILED: no string table found in $rc" >&2
  exit 1
fi
[ "$fail" -eq 0 ] && echo "user guide: all $count texts of the string table explained"
exit "$fail"
