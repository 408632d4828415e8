#!/bin/sh
# Installs what building and testing need on a fresh Debian machine: the
# mingw-w64 cross compiler, 32-bit Wine, Xvfb and the libraries of both
# flavours. Does nothing when everything is already there.
set -e
need=""
for cmd in i686-w64-mingw32-g++-posix wine xvfb-run cmake g++ clang convert; do
  command -v "$cmd" >/dev/null 2>&1 || need=1
done
for hdr in /usr/include/nlohmann/json.hpp /usr/include/CLI/CLI.hpp \
           /usr/include/libdivide.h /usr/include/sqlite3.h \
           /usr/include/gtest/gtest.h /usr/include/benchmark/benchmark.h \
           /usr/src/googletest/CMakeLists.txt; do
  [ -e "$hdr" ] || need=1
done
dpkg -s wine32:i386 >/dev/null 2>&1 || need=1
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need=1
[ -z "$need" ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  cmake make g++ clang libclang-rt-14-dev \
  g++-mingw-w64-i686-posix wine wine32:i386 wine64 xvfb xauth imagemagick \
  libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev libcli11-dev \
  libdivide-dev libsqlite3-dev sqlite3 ca-certificates
