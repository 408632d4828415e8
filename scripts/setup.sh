#!/bin/sh
# Installs what building and testing need on a fresh Debian machine: the
# mingw-w64 cross compilers (32- and 64-bit), 32- and 64-bit Wine, Xvfb and
# the libraries of every flavour, help2man for the manual page, lintian,
# which checks the Debian package, Wine's fonts for the guide's pictures, and
# Python (libsndfile's Windows build, the replay test's WAV reader).
# Does nothing when everything is already there.
set -e
need=""
for cmd in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-objdump \
           wine Xvfb cmake g++ clang convert import rsvg-convert makensis dpkg-shlibdeps setarch \
           lintian help2man osslsigncode python3; do
  command -v "$cmd" >/dev/null 2>&1 || need=1
done
for hdr in /usr/include/nlohmann/json.hpp /usr/include/CLI/CLI.hpp \
           /usr/include/libdivide.h /usr/include/sqlite3.h /usr/include/sndfile.h \
           /usr/include/gtest/gtest.h /usr/include/benchmark/benchmark.h \
           /usr/src/googletest/CMakeLists.txt /usr/bin/chromium; do
  [ -e "$hdr" ] || need=1
done
dpkg -s wine32:i386 >/dev/null 2>&1 || need=1
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need=1
[ -d /usr/share/wine/fonts ] || need=1
[ -x /usr/bin/qemu-i386-static ] || need=1
[ -x /usr/lib/wine/wine64 ] || need=1
# Node.js and npm for the live view's charting library and its browser test;
# a Node.js that is already there (with its own npm) is kept.
node=""
command -v npm >/dev/null 2>&1 || { need=1; node="nodejs npm"; }

here=$(cd "$(dirname "$0")" && pwd)
. "$here/sudo-prefix.sh"
if [ -n "$need" ] || [ -n "${TARNIX_SETUP_FORCE:-}" ]; then
  $SUDO dpkg --add-architecture i386 ||
    { echo "setup: dpkg could not add the i386 architecture, which 32-bit Wine needs" >&2; exit 1; }
  sh "$here/apt-install.sh" \
    cmake make g++ clang libclang-rt-14-dev \
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 util-linux \
    wine wine32:i386 wine64 xvfb xauth imagemagick \
    libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev libcli11-dev \
    libdivide-dev libsqlite3-dev sqlite3 ca-certificates qemu-user-static \
    librsvg2-bin libsndfile1-dev nsis dpkg-dev chromium \
    lintian help2man fonts-wine osslsigncode python3 $node || exit 1
fi
root=$(cd "$(dirname "$0")/.." && pwd)
# Debian's source package PACKAGE, unpacked with Debian's patches applied
# (dpkg-source, from dpkg-dev, applies them while unpacking), into
# build/third_party/PACKAGE; kept only when FILE is in it and every patch of
# the series was applied. Fetched once: nothing is done when FILE is there.
fetch_source() {
  package=$1 file=$2
  dest=$root/build/third_party/$package
  [ -f "$dest/$file" ] && return 0
  if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Package: $package\$"; then
    # Debian's source packages: the same archive and suite, type deb-src.
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    sh "$here/apt-install.sh" --update-only
  fi
  fetch=$dest.fetch
  rm -rf "$fetch"
  mkdir -p "$fetch"
  if ! (cd "$fetch" && apt-get source -q "$package"); then
    rm -rf "$fetch"
    echo "setup: could not fetch Debian's source package $package (apt-get source failed, see above; its deb-src index is in /etc/apt/sources.list.d/debian-src.sources): check the network and run make setup again" >&2
    return 1
  fi
  unpacked=$(find "$fetch" -mindepth 2 -maxdepth 3 -path "*/$package-*/$file" | head -n 1)
  unpacked=${unpacked%/"$file"}
  if [ -z "$unpacked" ]; then
    echo "setup: apt-get source $package unpacked no $file" >&2
    return 1
  fi
  series="" applied=""
  [ ! -f "$unpacked/debian/patches/series" ] ||
    series=$(sed -e '/^#/d' -e '/^[[:space:]]*$/d' -e 's/[[:space:]].*//' "$unpacked/debian/patches/series")
  [ ! -f "$unpacked/.pc/applied-patches" ] || applied=$(cat "$unpacked/.pc/applied-patches")
  if [ "$series" != "$applied" ]; then
    echo "setup: $package's Debian patches were not all applied (series: $series; applied: $applied)" >&2
    return 1
  fi
  rm -rf "$dest"
  mv "$unpacked" "$dest"
  rm -rf "$fetch"
}

# cpp-httplib, the live view's web server, as the one complete header of
# Debian's source package: the binary package splits it into a header and a
# library built for Linux only, and the Windows flavours need the whole.
fetch_source cpp-httplib httplib.h || exit 1
# libsndfile, the simulated board's WAV reader, built by the Windows flavours
# from Debian's source (Debian ships it for Linux only); natively the
# installed libsndfile1-dev is used.
fetch_source libsndfile src/sndfile.c || exit 1

# npm_install <folder of package.json and its lock> <into> <a file it installs>:
# the npm packages exactly as the lock file names them; installed again only
# when the lock file changed.
npm_install() {
  lockdir=$root/$1 npmdir=$root/$2
  if ! cmp -s "$lockdir/package-lock.json" "$npmdir/package-lock.json" ||
     [ ! -e "$npmdir/node_modules/$3" ]; then
    mkdir -p "$npmdir"
    cp "$lockdir/package.json" "$lockdir/package-lock.json" "$npmdir/"
    if ! (cd "$npmdir" && npm ci --no-audit --no-fund); then
      echo "setup: npm ci in $npmdir failed (see above): the npm registry could not be reached or a package in $1/package-lock.json could not be fetched; check the network and run make setup again" >&2
      exit 1
    fi
  fi
}
# Into build/npm: the build embeds uPlot from there, the browser test loads
# playwright-core from there.
npm_install host/monitor/web build/npm uplot/dist/uPlot.iife.min.js
# Into build/npm-packaging: the CycloneDX schemas and the validator that
# checks the release's bills of materials (packaging/release/).
npm_install packaging build/npm-packaging ajv/package.json

# Wine's loader for 32-bit programs is itself a 32-bit Linux program. Some
# virtual machines run no 32-bit code: exec fails with "Exec format error".
# Only there, and only when no handler is registered yet, the kernel is told
# to hand such programs to qemu-user, which Wine then runs under (slowly: a
# Wine program takes tens of seconds to start, and crashes at random). The
# handler is kernel-wide: every container on the machine shares it, and
# every 32-bit program there then runs through qemu, so it is never
# registered for any other failure.
binfmt=/proc/sys/fs/binfmt_misc
if ! out=$(/usr/lib/wine/wineserver32 --version 2>&1); then
  case $out in
    *"Exec format error"*) ;;
    *)
      echo "setup: /usr/lib/wine/wineserver32 --version failed, and not for want of 32-bit support: $out" >&2
      exit 1 ;;
  esac
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ -e "$binfmt/qemu-i386" ]; then
    echo "setup: this machine runs no 32-bit programs (Exec format error) and its qemu-i386 handler in $binfmt is $(head -n 1 "$binfmt/qemu-i386"); left as it is" >&2
    exit 1
  fi
  echo "setup: this machine runs no 32-bit programs (Exec format error): registering the qemu-i386 handler in $binfmt, kernel-wide, so that 32-bit Wine runs under qemu-user"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    $SUDO tee "$binfmt/register" >/dev/null
  /usr/lib/wine/wineserver32 --version >/dev/null 2>&1 || {
    echo "setup: this machine cannot run 32-bit programs, even through qemu-user, so 32-bit Wine cannot run" >&2
    exit 1
  }
fi
