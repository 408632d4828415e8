#!/bin/sh
# Makes the manual page of tarnix-host from its own --help and --version
# with help2man, plus the sections in the include file, and compresses it
# as Debian wants it (gzip -9, no name or time stamp in the header).
#   make-manpage.sh <help2man> <tarnix-host> <include file> <page.1.gz>
# The page is dated by SOURCE_DATE_EPOCH, which the build sets to the
# commit's time, not by the clock, so that the same sources give the same
# page.
set -eu
help2man=$1
program=$2
include=$3
out=$4
: "${SOURCE_DATE_EPOCH:?make-manpage.sh: SOURCE_DATE_EPOCH must be set (the page's date)}"
export SOURCE_DATE_EPOCH
# The date in words, in the same language whatever the builder's locale.
LC_ALL=C
export LC_ALL
page=${out%.gz}
"$help2man" --no-info --section=1 --name="drive the TARNIX data-acquisition module from the command line" \
  --include="$include" --output="$page" "$program"
gzip -9n -f "$page"
