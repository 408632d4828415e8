#!/bin/sh
# Signs Windows programs and libraries in place with Authenticode
# (osslsigncode), when the maker's certificate is given in the environment:
#   TARNIX_SIGN_PKCS12         PKCS#12 file holding the certificate (with its
#                              chain) and the private key
#   TARNIX_SIGN_PASSWORD_FILE  file whose first line is that file's password
# Without them the files are left unsigned and the script does nothing.
#   sign.sh <file.exe|file.dll>...
# The packaging signs every shipped PE file with it, and makensis the
# installer and the uninstaller it embeds (!finalize, !uninstfinalize).
#
# The signature's time is SOURCE_DATE_EPOCH's where that is set (the build
# sets the commit's), so signing the same file with the same certificate
# gives the same bytes, and no time-stamp server is asked. The signature is
# only appended: `osslsigncode extract-signature` on a signed file and
# `osslsigncode attach-signature` of that onto an unsigned rebuild give the
# signed file back, byte for byte.
set -eu
pkcs12=${TARNIX_SIGN_PKCS12:-}
password=${TARNIX_SIGN_PASSWORD_FILE:-}
if [ -z "$pkcs12" ] && [ -z "$password" ]; then
  exit 0
fi
if [ -z "$pkcs12" ] || [ -z "$password" ]; then
  echo "sign.sh: set both TARNIX_SIGN_PKCS12 and TARNIX_SIGN_PASSWORD_FILE, or neither" >&2
  exit 1
fi
for f in "$pkcs12" "$password"; do
  [ -r "$f" ] || { echo "sign.sh: cannot read $f" >&2; exit 1; }
done
osslsigncode=${TARNIX_OSSLSIGNCODE:-osslsigncode}
command -v "$osslsigncode" >/dev/null 2>&1 ||
  { echo "sign.sh: $osslsigncode not found (scripts/setup.sh installs osslsigncode)" >&2; exit 1; }
when=""
[ -n "${SOURCE_DATE_EPOCH:-}" ] && when="-time $SOURCE_DATE_EPOCH"
for file in "$@"; do
  signed="$file.signing"
  rm -f "$signed"
  # shellcheck disable=SC2086
  if ! "$osslsigncode" sign -pkcs12 "$pkcs12" -readpass "$password" -h sha256 -n TARNIX \
         $when -in "$file" -out "$signed" >"$file.signing.log" 2>&1; then
    cat "$file.signing.log" >&2
    rm -f "$signed" "$file.signing.log"
    echo "sign.sh: signing $file failed" >&2
    exit 1
  fi
  rm -f "$file.signing.log"
  mv "$signed" "$file"
  echo "signed $(basename "$file")"
done
