#!/bin/sh
# make release-check: builds the release twice from the commit checked out
# and compares the two, byte for byte. Each build is `make dist` in a clone
# of its own below build/release-check/, in folders of different depth, one
# after the other (so at different times), with a different umask and time
# zone, without ccache. Compared: every file of dist/ (zips, installer,
# .deb, bills of materials, build record, SHA256SUMS) and the built
# tarnix.dll, tarnix-host.exe and VLQAPI.dll of both widths, libtarnix.so,
# libvlqapi.so and tarnix-host. The comparison, file by file, is in
# build/release-check/comparison.txt; where files differ, Debian's
# diffoscope (installed on first need) says how, in
# build/release-check/diffoscope-<file>.txt. Exits non-zero on any
# difference. Uncommitted changes are not part of the check.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
commit=$(git rev-parse HEAD)
work=$root/build/release-check
rm -rf "$work"
mkdir -p "$work"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release-check: uncommitted changes are left out: building commit $commit"
fi
started=$(date +%s)

# build <name> <clone folder> <umask> <time zone>: make dist in a fresh clone.
build() {
  name=$1 dir=$2
  began=$(date +%s)
  echo "== release-check: build $name in $dir (umask $3, TZ=$4), $(date -u '+%H:%M:%S UTC')"
  git clone -q "$root" "$dir"
  git -C "$dir" checkout -q "$commit"
  if ! (cd "$dir" && umask "$3" &&
        env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER -u SOURCE_DATE_EPOCH \
          TZ="$4" make dist) >"$work/$name.log" 2>&1; then
    tail -n 30 "$work/$name.log"
    echo "release-check: make dist of build $name failed (see $work/$name.log)" >&2
    exit 1
  fi
  echo "   build $name took $(($(date +%s) - began)) s"
}
first=$work/one/tarnix
second=$work/second-build/in/a/deeper/folder/tarnix
build one "$first" 022 UTC
build two "$second" 002 Pacific/Auckland

# The files compared: dist/ as it is, and the built programs.
files=$(cd "$first" && { find dist -type f; ls build/windows/bin/tarnix.dll build/windows/bin/tarnix-host.exe \
  build/windows/bin/VLQAPI.dll build/windows64/bin/tarnix.dll build/windows64/bin/tarnix-host.exe \
  build/windows64/bin/VLQAPI.dll build/native/bin/libtarnix.so build/native/bin/libvlqapi.so \
  build/native/bin/tarnix-host; } | LC_ALL=C sort)
report=$work/comparison.txt
: >"$report"
differ=""
for f in $files; do
  if [ ! -f "$second/$f" ]; then
    printf 'MISSING   %-64s %s\n' "(only in build one)" "$f" >>"$report"
    differ="$differ $f"
  elif cmp -s "$first/$f" "$second/$f"; then
    printf 'same      %s %s\n' "$(sha256sum <"$first/$f" | cut -c1-64)" "$f" >>"$report"
  else
    printf 'DIFFERENT %-64s %s\n' "" "$f" >>"$report"
    differ="$differ $f"
  fi
done
extra=$(cd "$second" && find dist -type f | LC_ALL=C sort)
for f in $extra; do
  [ -f "$first/$f" ] || { printf 'MISSING   %-64s %s\n' "(only in build two)" "$f" >>"$report"; differ="$differ $f"; }
done
cat "$report"
echo "release-check: took $(($(date +%s) - started)) s in all"

if [ -n "$differ" ]; then
  if ! command -v diffoscope >/dev/null 2>&1; then
    echo "== release-check: installing diffoscope to show the differences"
    sh scripts/apt-install.sh diffoscope-minimal >"$work/diffoscope-install.log" 2>&1 ||
      { echo "release-check: diffoscope could not be installed (see $work/diffoscope-install.log)" >&2; }
  fi
  for f in $differ; do
    [ -f "$first/$f" ] && [ -f "$second/$f" ] || continue
    out=$work/diffoscope-$(echo "$f" | tr '/' '_').txt
    if command -v diffoscope >/dev/null 2>&1; then
      diffoscope --text "$out" "$first/$f" "$second/$f" >/dev/null 2>&1 || [ -s "$out" ] ||
        echo "diffoscope found nothing to say about $f" >"$out"
      echo "-- $f (diffoscope, first lines; all in $out):"
      head -n 40 "$out"
    fi
  done
  echo "release-check: FAILED: the two builds differ in$differ" >&2
  exit 1
fi
echo "release-check: the two builds are identical ($(echo "$files" | wc -l) files)"
