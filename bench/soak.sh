#!/bin/sh
# Soak run (not a test): the simulated board at its full 250000 Hz on
# channels 0-7, blocks of 4096 samples, every channel a sequence signal,
# for DURATION seconds of real time (default 600). tarnix-host checks every
# sample; this prints the figures that matter and fails when a sample was
# lost or repeated or the FIFO overran.
#
#   bench/soak.sh [build-dir] [duration-seconds]
set -eu
build=${1:-build/native}
duration=${2:-600}
host="$build/bin/tarnix-host"
[ -x "$host" ] || { echo "soak: $host not built (cmake --build --preset native --target tarnix-host)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile="$work/soak-board.json"
sh "$(dirname "$0")/sequence_board.sh" "$profile"

echo "soak: 250000 Hz, channels 0-7, block 4096, $duration s, $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
status=0
"$host" --board-config "$profile" acquire --channels 0-7 --rate 250000 --block-size 4096 \
  --duration "$duration" --check-sequence --count-only >"$work/out.txt" 2>"$work/err.txt" || status=$?

# The per-channel table of the check: channel, checked, gaps, repeats, step.
gaps=$(awk '/^sequence check:/ {t=1; next} t && $1 ~ /^[0-9]+$/ {g+=$3} END {print g+0}' "$work/out.txt")
repeats=$(awk '/^sequence check:/ {t=1; next} t && $1 ~ /^[0-9]+$/ {r+=$4} END {print r+0}' "$work/out.txt")
sed -n '/^sequence check:/,$p' "$work/out.txt"
cat "$work/err.txt"
echo
echo "soak result: exit $status, gaps $gaps, repeats $repeats"
grep -E '^(samples moved|overruns|host CPU|peak fill):' "$work/out.txt" | sed 's/^/soak result: /'
exit "$status"
