#!/bin/sh
# Writes to FILE a board profile for the benchmarks: the simulated board at
# 250000 Hz, eight inputs, every one a sequence signal of one code per sample
# (step 4885 uV on the +-10 V range), so a lost or repeated sample shows.
#
#   sh bench/sequence_board.sh FILE
set -eu
{
  printf '{"boards": [{"serial": 4711, "name": "Soak board", "maxRate": 250000, "inputs": 8,\n'
  printf '  "signals": ['
  for ch in 0 1 2 3 4 5 6 7; do
    [ "$ch" = 0 ] || printf ','
    printf '\n    {"channel": %d, "kind": "sequence", "step": 4885}' "$ch"
  done
  printf ']}]}\n'
} >"$1"
