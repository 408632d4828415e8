#!/bin/sh
# Recording benchmark (not a test): tarnix-host acquire --wav against the
# simulated board at its full 250000 Hz on channels 0-7, blocks of 4096
# samples, every channel a sequence signal, for DURATION seconds of real
# time (default 600); afterwards every frame of the file is compared with
# the signal (scripts/recording_info.py, Python's wave module). Before it,
# the peak memory of 10 s and 40 s recordings at 200000 Hz, in real time and
# on the unthrottled clock (every block at once: the program's own memory
# without the simulated library's call log, which grows with every poll of
# a real-time run up to its 200000 lines).
# Prints the figures; fails when a frame differs, a scan is missing or the
# FIFO overran.
#
#   bench/recording.sh [build-dir] [duration-seconds]
set -eu
build=${1:-build/native}
duration=${2:-600}
host="$build/bin/tarnix-host"
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$host" ] || { echo "recording: $host not built (cmake --build --preset native --target tarnix-host)" >&2; exit 2; }

work=$(mktemp -d "$build/bench-recording.XXXXXX")
trap 'rm -rf "$work"' EXIT
profile="$work/board.json"
sh "$(dirname "$0")/sequence_board.sh" "$profile"

# One recording: prints the summary's figures and the file's check.
record() { # clock rate seconds
  name="$3 s at $2 Hz, $1 clock"
  out="$work/out.txt"
  status=0
  "$host" --board-config "$profile" --sim-clock "$1" acquire --channels 0-7 --rate "$2" \
    --block-size 4096 --duration "$3" --wav "$work/run.wav" >"$out" 2>"$work/err.txt" || status=$?
  cat "$work/err.txt"
  grep -E '^(samples moved|overruns|host CPU|peak fill|peak memory|wrote .* scans)' "$out" |
    sed "s/^/$name: /"
  scans=$(awk '/^samples moved:/ {print int($3 / 8)}' "$out")
  check=$(python3 "$here/../scripts/recording_info.py" "$work/run.wav" --expect-sequence 4885 |
          tail -n 1) || status=1
  frames=$(echo "$check" | awk '{print $3}')
  echo "$name: file $(wc -c <"$work/run.wav") bytes; $check; scans delivered $scans, missing from the file $((scans - frames))"
  [ "$frames" = "$scans" ] || status=1
  rm -f "$work/run.wav"
  return "$status"
}

echo "recording: $(date -u '+%Y-%m-%d %H:%M:%S UTC'), $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
result=0
for clock in unthrottled realtime; do
  record "$clock" 200000 10 || result=$?
  record "$clock" 200000 40 || result=$?
done
record realtime 250000 "$duration" || result=$?
exit "$result"
