#!/bin/sh
# The Debian package of the native build: made with cpack from this build,
# its file list and control fields checked, then unpacked into a scratch
# root (dpkg -x) where the unpacked tarnix-host must find the unpacked
# module, and the module the unpacked board library, and run `info`.
#   deb_package_test.sh <build folder> <version> <module folder below /usr> <work folder>
set -eu
build=$1
version=$2
module_dir=$3
work=$4

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)  # ldd names libraries by absolute path
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
deb="$work/out/tarnix_${version}_$(dpkg --print-architecture).deb"
fail=0
check() {  # check <description> <command...>
  what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; fail=1; fi
}
has() { printf '%s\n' "$1" | grep -Eq "$2"; }  # has <text> <pattern>

check "package $(basename "$deb") made" test -f "$deb"
[ -f "$deb" ] || exit 1
ls -l "$deb"
list=$(dpkg-deb -c "$deb" | awk '{print $6}')
printf '%s\n' "$list"
for f in usr/bin/tarnix-host "usr/$module_dir/libtarnix.so" "usr/$module_dir/libvlqapi.so" \
         usr/share/doc/tarnix/board-profiles.md usr/share/doc/tarnix/copyright \
         usr/share/doc/tarnix/user-guide.md usr/share/doc/tarnix/pictures/setup-dialog.png \
         usr/share/doc/tarnix/changelog.gz usr/share/man/man1/tarnix-host.1.gz; do
  check "lists /$f" has "$list" "^\./$f\$"
done
check "nothing outside /usr" test -z "$(printf '%s\n' "$list" | grep -Ev '^\./(usr/.*)?$')"
fields=$(dpkg-deb -f "$deb" Package Version Architecture Depends)
printf '%s\n' "$fields"
check "version $version" has "$fields" "^Version: $version\$"
check "depends on SQLite" has "$fields" '^Depends:.*libsqlite3-0'
description=$(dpkg-deb -f "$deb" Description)
check "description lines intact" test -z "$(printf '%s\n' "$description" | grep '^ ;')"

# Debian's own checker: no error and no warning (its notes for
# information and pedantic tags are not faults). setup.sh installs it.
if command -v lintian >/dev/null 2>&1; then
  lintian_status=0
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 ||
    lintian_status=$?
  cat "$work/lintian.txt"
  check "lintian: no error, no warning" test "$lintian_status" -eq 0
else
  check "lintian installed (scripts/setup.sh installs it)" false
fi

root="$work/root"
dpkg -x "$deb" "$root"

# Its bill of materials: made only when the run-time parts of
# packaging/third-party.json are exactly the packages Depends names, valid
# CycloneDX, and each part it lists as inside has its licence in copyright.
source=$(cd "$(dirname "$0")/../../.." && pwd)
status=0
SOURCE_DATE_EPOCH=$(cat "$build/source-date-epoch") \
  node "$source/packaging/release/manifest.cjs" sbom deb "$deb" "$work/deb.cdx.json" || status=$?
check "bill of materials made (run-time parts are the Depends field's)" test "$status" -eq 0
status=0
node "$source/packaging/release/check-sbom.cjs" "$work/deb.cdx.json" >"$work/sbom.txt" || status=$?
cat "$work/sbom.txt"
check "bill of materials is valid CycloneDX" test "$status" -eq 0
inside=$(sed -n 's/^  \(.* [^ ]*\) | inside the package | .*/\1/p' "$work/sbom.txt")
check "bill of materials lists parts inside" test -n "$inside"
printf '%s\n' "$inside" | while read -r part; do
  if grep -qxF "$part" "$root/usr/share/doc/tarnix/copyright"; then
    echo "ok: copyright carries $part"
  else
    echo "FAILED: copyright lacks $part" >&2
    echo failed
  fi
done >"$work/copyright-checks.txt"
cat "$work/copyright-checks.txt"
check "copyright carries every part inside" test -z "$(grep -x failed "$work/copyright-checks.txt")"
check "changelog's latest entry is $version" \
  has "$(gzip -dc "$root/usr/share/doc/tarnix/changelog.gz" | head -n 1)" "^tarnix \\($version\\) "
check "manual page names the command" \
  has "$(gzip -dc "$root/usr/share/man/man1/tarnix-host.1.gz")" "^tarnix-host \\\\- "
module="$root/usr/$module_dir/libtarnix.so"
check "module finds its board library beside it" \
  has "$(env -u LD_LIBRARY_PATH ldd "$module")" "libvlqapi\\.so => $root/usr/$module_dir/libvlqapi\\.so"
status=0
env -u LD_LIBRARY_PATH TARNIX_REGISTRY="$work/registry.sqlite3" \
  "$root/usr/bin/tarnix-host" info >"$work/info.txt" 2>&1 || status=$?
cat "$work/info.txt"
check "unpacked tarnix-host info exits 0" test "$status" -eq 0
check "info shows the driver" grep -q "^Driver  *VELQ Sorvik Interface" "$work/info.txt"
check "info shows a simulated board" grep -q "^Board  *VQ-" "$work/info.txt"
check "unpacked tarnix-host --version" test "$("$root/usr/bin/tarnix-host" --version)" = "tarnix-host $version"

[ "$fail" -eq 0 ] && echo "deb package: all checks passed"
exit "$fail"
