#!/bin/sh
# Makes the manual page of tarnix-host from its own --help and --version
# with help2man, plus the sections in the include file, and compresses it
# as Debian wants it (gzip -9, no name or time stamp in the header).
#   make-manpage.sh <help2man> <tarnix-host> <include file> <changelog> <page.1.gz>
# The page is dated by the changelog's latest entry, not by the build, so
# that the same sources give the same page.
set -eu
help2man=$1
program=$2
include=$3
changelog=$4
out=$5
stamp=$(sed -n 's/^ -- .*>  //p' "$changelog" | head -n 1)
SOURCE_DATE_EPOCH=$(date -d "$stamp" +%s)
export SOURCE_DATE_EPOCH
page=${out%.gz}
"$help2man" --no-info --section=1 --name="drive the TARNIX data-acquisition module from the command line" \
  --include="$include" --output="$page" "$program"
gzip -9n -f "$page"
