#!/bin/sh
# make dist: builds the release packages into dist/:
#   tarnix-<version>-win32.zip   32-bit Windows files (build/windows)
#   tarnix-<version>-setup.exe   their NSIS installer
#   tarnix-<version>-win64.zip   64-bit Windows files (build/windows64)
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
step native-build cmake --build --preset native --target tarnix vlqapi tarnix-host tarnix_package_docs
step native-cpack cpack --config build/native/CPackConfig.cmake
cp build/native/dist/tarnix_"$version"_"$(dpkg --print-architecture)".deb dist/

echo "== dist: 64-bit Windows zip"
step windows64-configure cmake --preset windows64
step windows64-build cmake --build --preset windows64 --target tarnix_packages
cp build/windows64/dist/tarnix-"$version"-win64.zip dist/

ls -l dist
