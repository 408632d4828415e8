#!/bin/sh
# Installs what building and testing need on a fresh Debian machine: the
# mingw-w64 cross compilers (32- and 64-bit), 32- and 64-bit Wine, Xvfb and
# the libraries of every flavour, help2man for the manual page, lintian,
# which checks the Debian package, and Wine's fonts for the guide's pictures.
# Does nothing when everything is already there.
set -e
need=""
for cmd in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine xvfb-run cmake g++ clang \
           convert import rsvg-convert makensis dpkg-shlibdeps lintian help2man; do
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

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ -n "$need" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends \
    cmake make g++ clang libclang-rt-14-dev \
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
    wine wine32:i386 wine64 xvfb xauth imagemagick \
    libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev libcli11-dev \
    libdivide-dev libsqlite3-dev sqlite3 ca-certificates qemu-user-static \
    librsvg2-bin libsndfile1-dev nsis dpkg-dev chromium \
    lintian help2man fonts-wine
fi
# Node.js and npm for the live view's charting library and its browser test;
# a Node.js that is already there (with its own npm) is kept.
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends nodejs npm
fi
root=$(cd "$(dirname "$0")/.." && pwd)
# cpp-httplib, the live view's web server, as the one complete header of
# Debian's source package: the binary package splits it into a header and a
# library built for Linux only, and the Windows flavours need the whole.
# dpkg-source (dpkg-dev) applies Debian's patches while unpacking; the copy
# is kept only when every patch of the series was applied. Fetched once,
# into build/third_party/cpp-httplib.
httplib=$root/build/third_party/cpp-httplib
if [ ! -f "$httplib/httplib.h" ]; then
  if ! apt-cache showsrc cpp-httplib 2>/dev/null | grep -q '^Package: cpp-httplib$'; then
    # Debian's source packages: the same archive and suite, type deb-src.
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    $SUDO apt-get update -q
  fi
  fetch=$root/build/third_party/cpp-httplib.fetch
  rm -rf "$fetch"
  mkdir -p "$fetch"
  (cd "$fetch" && apt-get source -q cpp-httplib)
  unpacked=$(find "$fetch" -mindepth 2 -maxdepth 2 -name httplib.h -path '*/cpp-httplib-*/*')
  unpacked=${unpacked%/httplib.h}
  [ -n "$unpacked" ] || { echo "setup: apt-get source cpp-httplib unpacked no httplib.h" >&2; exit 1; }
  series="" applied=""
  [ ! -f "$unpacked/debian/patches/series" ] ||
    series=$(sed -e '/^#/d' -e '/^[[:space:]]*$/d' -e 's/[[:space:]].*//' "$unpacked/debian/patches/series")
  [ ! -f "$unpacked/.pc/applied-patches" ] || applied=$(cat "$unpacked/.pc/applied-patches")
  if [ "$series" != "$applied" ]; then
    echo "setup: cpp-httplib's Debian patches were not all applied (series: $series; applied: $applied)" >&2
    exit 1
  fi
  rm -rf "$httplib"
  mv "$unpacked" "$httplib"
  rm -rf "$fetch"
fi

# The npm packages, exactly as host/monitor/web/package-lock.json names
# them, into build/npm: the build embeds uPlot from there, the browser test
# loads playwright-core from there. Installed again only when the lock
# file changed.
npmdir=$root/build/npm
if ! cmp -s "$root/host/monitor/web/package-lock.json" "$npmdir/package-lock.json" ||
   [ ! -e "$npmdir/node_modules/uplot/dist/uPlot.iife.min.js" ]; then
  mkdir -p "$npmdir"
  cp "$root/host/monitor/web/package.json" "$root/host/monitor/web/package-lock.json" "$npmdir/"
  (cd "$npmdir" && npm ci --no-audit --no-fund)
fi

# Wine's loader for 32-bit programs is itself a 32-bit Linux program. Some
# virtual machines run no 32-bit code (exec fails with "Exec format error");
# there the kernel is told to hand such programs to qemu-user, which Wine
# then runs under (slowly: a Wine program takes tens of seconds to start).
if ! /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      $SUDO tee "$binfmt/register" >/dev/null
  fi
  /usr/lib/wine/wineserver32 --version >/dev/null 2>&1 || {
    echo "setup: this machine cannot run 32-bit programs, so Wine cannot run" >&2
    exit 1
  }
fi
