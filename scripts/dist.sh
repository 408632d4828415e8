#!/bin/sh
# make dist: builds the release packages into dist/:
#   tarnix-<version>-win32.zip   32-bit Windows files (build/windows)
#   tarnix-<version>-setup.exe   their NSIS installer
#   tarnix-<version>-win64.zip   64-bit Windows files (build/windows64)
#   tarnix_<version>_<arch>.deb  the native build through CPack (build/native)
#   <package>.cdx.json           each package's bill of materials (CycloneDX)
#   tarnix_<version>.buildinfo   the build record: commit, source date, the
#                                tools' and third-party parts' versions, and
#                                the checksums of the files above
#   SHA256SUMS                   every file of dist/, for sha256sum -c
# Only the shipped programs are built, not the tests. The same commit built
# with the same tools (those the build record names) gives the same bytes,
# wherever and whenever it is built: scripts/release-check.sh checks that.
# With TARNIX_SIGN_PKCS12 and TARNIX_SIGN_PASSWORD_FILE set, every Windows
# program, library and installer is signed (packaging/windows/sign.sh). The
# packaging rules themselves are in packaging/CMakeLists.txt.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(tarnix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
logs=build/logs
# Made afresh: dist/ and each build's packaging files (<build>/release).
rm -rf dist build/windows/release build/windows/dist build/windows64/release \
       build/windows64/dist build/native/release build/native/dist
mkdir -p dist "$logs"
step() {  # step <log name> <command...>: output to the log, its tail on failure
  log="$logs/dist-$1.log"
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "dist: '$*' failed (see $log)" >&2
    exit 1
  fi
}

if [ -n "${TARNIX_SIGN_PKCS12:-}${TARNIX_SIGN_PASSWORD_FILE:-}" ]; then
  if [ -z "${TARNIX_SIGN_PKCS12:-}" ] || [ -z "${TARNIX_SIGN_PASSWORD_FILE:-}" ]; then
    echo "dist: set both TARNIX_SIGN_PKCS12 and TARNIX_SIGN_PASSWORD_FILE to sign, or neither" >&2
    exit 1
  fi
  if ! signer=$(openssl pkcs12 -in "$TARNIX_SIGN_PKCS12" -passin "file:$TARNIX_SIGN_PASSWORD_FILE" \
                  -nokeys -clcerts 2>/dev/null |
                openssl x509 -noout -subject -fingerprint -sha256 -nameopt oneline 2>/dev/null); then
    echo "dist: cannot read the certificate in $TARNIX_SIGN_PKCS12 with the password in $TARNIX_SIGN_PASSWORD_FILE" >&2
    exit 1
  fi
  signing="signed by $(printf '%s' "$signer" | tr '\n' ';' | sed 's/;$//; s/;/; /g')"
  echo "== dist: signing the Windows files ($signing)"
else
  signing=unsigned
  echo "== dist: not signed (set TARNIX_SIGN_PKCS12 and TARNIX_SIGN_PASSWORD_FILE to sign the Windows files)"
fi

echo "== dist: Windows zip and installer"
step windows-configure cmake --preset windows
step windows-build cmake --build --preset windows --target tarnix_packages
cp build/windows/dist/tarnix-"$version"-win32.zip build/windows/dist/tarnix-"$version"-setup.exe dist/

echo "== dist: Debian package"
step native-configure cmake --preset native
step native-build cmake --build --preset native --target tarnix vlqapi tarnix-host tarnix_package_docs
# The .deb's own members (control.tar.gz, data.tar.gz) keep the modes cpack
# gives the files it writes: the same whatever the builder's umask.
step native-cpack sh -c 'umask 022 && exec cpack --config build/native/CPackConfig.cmake'
deb=tarnix_"$version"_"$(dpkg --print-architecture)".deb
cp build/native/dist/"$deb" dist/

echo "== dist: 64-bit Windows zip"
step windows64-configure cmake --preset windows64
step windows64-build cmake --build --preset windows64 --target tarnix_packages
cp build/windows64/dist/tarnix-"$version"-win64.zip dist/

echo "== dist: bills of materials, build record, checksums"
SOURCE_DATE_EPOCH=$(cat build/native/source-date-epoch)
export SOURCE_DATE_EPOCH
manifest=packaging/release/manifest.cjs
set -- tarnix-"$version"-win32.zip:win32 tarnix-"$version"-setup.exe:win32 \
       tarnix-"$version"-win64.zip:win64 "$deb":deb
packages="" boms=""
for entry in "$@"; do
  file=${entry%:*}
  step "sbom-$file" node "$manifest" sbom "${entry##*:}" "dist/$file" "dist/$file.cdx.json"
  packages="$packages dist/$file" boms="$boms dist/$file.cdx.json"
done
# shellcheck disable=SC2086
step sbom-check node packaging/release/check-sbom.cjs $boms
# shellcheck disable=SC2086
step buildinfo node "$manifest" buildinfo dist/tarnix_"$version".buildinfo --signing "$signing" \
  $packages $boms
(cd dist && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
   xargs sha256sum >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)

ls -l dist
