#!/bin/sh
# The Windows release files of this build, and their signing:
# - the zip: every entry below one top folder, in byte order, dated with the
#   source date; for each part its bill of materials lists as inside, that
#   part's licence text; the bill of materials valid CycloneDX 1.6;
# - the shipped programs and libraries stamped with the source date, the
#   build's own with no time;
# - signing with a throwaway certificate made here: packaging/windows/sign.sh
#   signs each shipped PE file (and, given the makensis command, makensis
#   the installer and the uninstaller it embeds, which a silent install
#   under Wine writes out); `osslsigncode verify` accepts each against that
#   certificate; signing again gives the same bytes, and the signature
#   attached to the unsigned file gives the signed file back.
#   windows_release_test.sh <build> <win32|win64> <version> <source date> <objdump> <wine-run.sh> <work>
#                           [makensis command...]
set -eu
build=$1 arch=$2 version=$3 epoch=$4 objdump=$5 runner=$6 work=$7
shift 7
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
fail=0
check() {  # check <description> <command...>
  what=$1
  shift
  if "$@"; then echo "ok - $what"; else echo "not ok - $what"; fail=1; fi
}

echo "== the zip"
top=tarnix-$version-$arch
zip=$build/dist/$top.zip
# name and DOS date (to the minute: a zip keeps even seconds) of each entry
zipinfo -T "$zip" | awk 'NF == 8 && $1 ~ /^-/ { print substr($7, 1, 13), $8 }' >"$work/entries.txt"
cat "$work/entries.txt"
names=$(cut -d' ' -f2 "$work/entries.txt")
when=$(TZ=UTC date -d "@$epoch" +%Y%m%d.%H%M)
for f in tarnix.dll tarnix-host.exe boardsim/VLQAPI.dll boardsim/libsndfile-1.dll LICENSE.txt doc/user-guide.md; do
  check "zip holds $top/$f" sh -c 'printf "%s\n" "$1" | grep -qxF "$2"' - "$names" "$top/$f"
done
check "every entry below $top/" test -z "$(printf '%s\n' "$names" | grep -v "^$top/")"
check "entries in byte order" sh -c 'printf "%s\n" "$1" | LC_ALL=C sort -c' - "$names"
check "every entry dated $when (the source date)" test -z "$(grep -v "^$when " "$work/entries.txt")"

SOURCE_DATE_EPOCH=$epoch node "$root/packaging/release/manifest.cjs" sbom "$arch" "$zip" "$work/$top.cdx.json"
status=0
node "$root/packaging/release/check-sbom.cjs" "$work/$top.cdx.json" >"$work/sbom.txt" || status=$?
cat "$work/sbom.txt"
[ "$status" -eq 0 ] || fail=1
inside=$(sed -n 's/^  \(.*\) [^ ]* | inside the package | .*/\1/p' "$work/sbom.txt")
check "the bill of materials lists parts inside" test -n "$inside"
printf '%s\n' "$inside" | while read -r part; do
  text="$top/third-party/$(printf '%s' "$part" | sed 's/[^A-Za-z0-9.+-]\{1,\}/-/g').txt"
  if printf '%s\n' "$names" | grep -qxF "$text"; then echo "ok - $part's licence text"; else echo "not ok - $part's licence text: no $text"; fi
done | tee "$work/texts.txt"
grep -q '^not ok' "$work/texts.txt" && fail=1

echo "== time stamps"
stamp() {  # the COFF header's TimeDateStamp of a PE file
  pe=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -tu4 -j $((pe + 8)) -N 4 "$1" | tr -d ' '
}
shipped=$build/release/shipped
for f in tarnix.dll tarnix-host.exe VLQAPI.dll libsndfile-1.dll; do
  check "shipped $f stamped with the source date" test "$(stamp "$shipped/$f")" = "$epoch"
  check "built $f carries no time" test "$(stamp "$build/bin/$f")" = 0
done
check "objdump reads the shipped tarnix.dll's date" \
  sh -c 'TZ=UTC "$1" -p "$2" | grep -q "^Time/Date.*$3"' - "$objdump" "$shipped/tarnix.dll" \
  "$(TZ=UTC date -d "@$epoch" '+%H:%M:%S %Y')"

echo "== signing with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=TARNIX throwaway test signer" -addext extendedKeyUsage=codeSigning 2>"$work/openssl.log"
printf 'throwaway password\n' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" \
  -passout "file:$work/password"
export TARNIX_SIGN_PKCS12="$work/signer.p12" TARNIX_SIGN_PASSWORD_FILE="$work/password"
export SOURCE_DATE_EPOCH="$epoch"
cp -R "$build/release/tree/$top" "$work/signed"
pes="tarnix.dll tarnix-host.exe boardsim/VLQAPI.dll boardsim/libsndfile-1.dll"
# shellcheck disable=SC2086
(cd "$work/signed" && sh "$root/packaging/windows/sign.sh" $pes)
verify() {  # verify <file>: osslsigncode verify against the throwaway certificate, shown
  echo "-- osslsigncode verify $(basename "$1")"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1
  status=$?
  sed -n '/Signer.s certificate/,$p' "$work/verify.txt" | grep -E 'Subject|Signing time|Signature verification|Succeeded|Failed|verified signatures' | sort -u
  return "$status"
}
for f in $pes; do
  check "$f signed and verified" verify "$work/signed/$f"
done
cp "$build/release/tree/$top/tarnix.dll" "$work/again.dll"
sh "$root/packaging/windows/sign.sh" "$work/again.dll" >/dev/null
check "signing again gives the same bytes" cmp "$work/again.dll" "$work/signed/tarnix.dll"
osslsigncode extract-signature -in "$work/signed/tarnix.dll" -out "$work/tarnix.p7" >/dev/null
osslsigncode attach-signature -sigin "$work/tarnix.p7" -CAfile "$work/cert.pem" \
  -in "$build/release/tree/$top/tarnix.dll" -out "$work/attached.dll" >/dev/null
check "the signature attached to the unsigned build gives the signed file" \
  cmp "$work/attached.dll" "$work/signed/tarnix.dll"

if [ $# -gt 0 ]; then
  echo "== the installer and its uninstaller"
  "$@" -DTREE="$work/signed" -DOUT_FILE="$work/setup.exe" "$root/packaging/windows/tarnix.nsi" \
    >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; check "makensis" false; }
  check "installer signed and verified" verify "$work/setup.exe"
  export TARNIX_WINEPREFIX="$work/prefix" WINEPREFIX="$work/prefix"
  # Ends a Wine server left running; its own status (none running) is not the test's.
  trap 'status=$?; set +e; wineserver -k >/dev/null 2>&1; exit "$status"' EXIT
  "$runner" "$work/setup.exe" /S '/D=C:\Signed\TARNIX'
  wineserver -w
  installed="$work/prefix/drive_c/Signed/TARNIX"
  check "installed tarnix.dll is the signed one" cmp "$installed/tarnix.dll" "$work/signed/tarnix.dll"
  check "uninstaller signed and verified" verify "$installed/uninstall.exe"
fi
exit "$fail"
