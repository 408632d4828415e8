#!/bin/sh
# Runs one Windows program of the build under Wine: used by ctest (as the
# cross-compiling emulator) and by the README's commands.
#
# The Wine prefix is created on first use. WINEPREFIX or TARNIX_WINEPREFIX
# names it (ctest gives each flavour its own, in its build folder; tests that
# need a registry of their own make one in their work folder); otherwise a
# program of a build folder uses that build's prefix, <build>/wineprefix, and
# only a program outside any build the user's ~/.cache/tarnix/wineprefix.
# Without a display the program gets an Xvfb server of its own, on a display
# number the server picks itself, since the module shows its splash on every
# initialisation.
set -e
if [ -z "${WINEPREFIX:-}" ] && [ -z "${TARNIX_WINEPREFIX:-}" ] && [ -f "$1" ]; then
  # The build folder: the first folder above the program with a CMakeCache.txt.
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] && TARNIX_WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX="${WINEPREFIX:-${TARNIX_WINEPREFIX:-$HOME/.cache/tarnix/wineprefix}}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No debugger on a crash: Wine would start winedbg --auto, which can wait
# forever with nobody to answer it; without it the crashing program just ends
# with its exception code, which the test then reports.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
export WINEARCH="${WINEARCH:-win64}"
# Where the kernel runs no 32-bit code, the 32-bit Wine loader runs under
# qemu-user (registered by scripts/setup.sh). Wine then probes the whole 4 GB
# address space in 64 KB steps at every start, which costs qemu about a
# minute; a guest space of a little over 2 GB keeps the probing short (a few
# seconds) and still holds everything Wine places below 0x80000000. Ignored
# where 32-bit programs run natively.
export QEMU_RESERVED_VA="${QEMU_RESERVED_VA:-0x81000000}"
# The test programs skip the few checks that crash 32-bit Wine under
# qemu-user: tell them where that is (TARNIX_WINE32=emulated or =native, set
# by the user, overrides the detection, as in scripts/run-tests.sh).
if [ -z "${TARNIX_WINE32:-}" ] && grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  export TARNIX_WINE32=emulated
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two runs may start together on a fresh machine; one creates the prefix.
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
  ) 9>"$WINEPREFIX/.create.lock"
fi
# A 64-bit program is started by Wine's 64-bit loader itself: the `wine`
# command would first run the 32-bit loader, which then hands over, and on a
# machine that runs 32-bit code only through qemu-user that first step alone
# is slow and crashes at random. So the 64-bit flavour runs no 32-bit Linux
# code at all once the prefix exists. (PE32+ is magic 0x20b in the optional
# header, which follows the 24-byte PE header found at offset 0x3c.)
loader=wine
if [ -f "$1" ]; then
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  magic=$( [ -n "$pe" ] && od -An -tx2 -j$((pe + 24)) -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$magic" = 020b ] && [ -x /usr/lib/wine/wine64 ]; then
    loader=/usr/lib/wine/wine64
    export WINELOADER="$loader"
  fi
fi
# A private Xvfb: started with -displayfd, it takes the first free display
# number itself and writes it once it accepts clients, so parallel runs never
# race for a number (as xvfb-run -a does, probing for one before starting).
xvfb_pid=""
xvfb_dir=""
heaplog=""
trap 'stop_xvfb; [ -z "$heaplog" ] || rm -f "$heaplog"' EXIT
trap 'exit 143' TERM INT HUP
stop_xvfb() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$xvfb_dir" ] && rm -rf "$xvfb_dir"
  xvfb_pid=""
}
start_xvfb() {
  xvfb_dir=$(mktemp -d "${TMPDIR:-/tmp}/wine-run-xvfb.XXXXXX")
  mkfifo "$xvfb_dir/display"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$xvfb_dir/display" \
    >"$xvfb_dir/log" 2>&1 &
  xvfb_pid=$!
  read -r number <"$xvfb_dir/display" || number=""
  if [ -z "$number" ]; then
    cat "$xvfb_dir/log" >&2
    echo "wine-run: Xvfb did not start" >&2
    stop_xvfb
    return 1
  fi
  export DISPLAY=":$number"
}
run_wine() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${TARNIX_NO_XVFB:-}" ]; then
    start_xvfb || return 1
    status=0
    "$loader" "$@" || status=$?
    stop_xvfb
    return "$status"
  fi
  "$loader" "$@"
}
if [ -z "${TARNIX_WINE_HEAPCHECK:-}" ]; then
  run_wine "$@"
  exit $?
fi
# Heap checking (the test programs run with it): Wine validates its heaps and
# reports damage on its heap channel; any such report fails the run even when
# the program itself passed.
export WINEDEBUG="fixme-all,warn+heap"
heaplog=$(mktemp "${TMPDIR:-/tmp}/wine-run-heap.XXXXXX")
status=0
run_wine "$@" 2>"$heaplog" || status=$?
cat "$heaplog" >&2
if grep -E '(warn|err):heap' "$heaplog" >/dev/null 2>&1; then
  echo "wine-run: heap damage reported (see the heap lines above)" >&2
  exit 1
fi
exit "$status"
