#!/bin/sh
# make dist: builds the release packages into dist/:
#   tarnix-<version>-win32.zip   32-bit Windows files (build/windows)
#   tarnix-<version>-setup.exe   their NSIS installer
#   tarnix_<version>_<arch>.deb  the native build through CPack (build/native)
# Only the shipped programs are built, not the tests. The packaging rules
# themselves are in packaging/CMakeLists.txt.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(tarnix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
logs=build/logs
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

echo "== dist: Windows zip and installer"
step windows-configure cmake --preset windows
step windows-build cmake --build --preset windows --target tarnix_packages
cp build/windows/dist/tarnix-"$version"-win32.zip build/windows/dist/tarnix-"$version"-setup.exe dist/

echo "== dist: Debian package"
step native-configure cmake --preset native
step native-build cmake --build --preset native --target tarnix vlqapi tarnix-host
step native-cpack cpack --config build/native/CPackConfig.cmake
cp build/native/dist/tarnix_"$version"_"$(dpkg --print-architecture)".deb dist/

# --- hook: the 64-bit Windows zip ------------------------------------------
# When the windows64 flavour has been configured (build/windows64), its zip
# tarnix-<version>-win64.zip joins the packages; the same packaging rules
# name it by the build's pointer size. Nothing here needs that build.
if [ -f build/windows64/CMakeCache.txt ]; then
  echo "== dist: 64-bit Windows zip"
  step windows64-build cmake --build build/windows64 --target tarnix_packages
  cp build/windows64/dist/tarnix-"$version"-win64.zip dist/
fi
# ----------------------------------------------------------------------------

ls -l dist
