#!/bin/sh
# Runs one Windows program of the build under Wine: used by ctest (as the
# cross-compiling emulator) and by the README's commands.
#
# The prefix is shared by the runs of one machine and created on first use;
# TARNIX_WINEPREFIX (or WINEPREFIX) picks another one, which tests that need a
# registry of their own do. Without a display the program gets its own Xvfb
# server, since the module shows its splash on every initialisation.
set -e
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
run_wine() {
  if [ -z "$DISPLAY" ] && [ -z "$TARNIX_NO_XVFB" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$@"
  else
    "$loader" "$@"
  fi
}
if [ -z "$TARNIX_WINE_HEAPCHECK" ]; then
  run_wine "$@"
  exit $?
fi
# Heap checking (the test programs run with it): Wine validates its heaps and
# reports damage on its heap channel; any such report fails the run even when
# the program itself passed.
export WINEDEBUG="fixme-all,warn+heap"
heaplog=$(mktemp)
trap 'rm -f "$heaplog"' EXIT
status=0
run_wine "$@" 2>"$heaplog" || status=$?
cat "$heaplog" >&2
if grep -E '(warn|err):heap' "$heaplog" >/dev/null 2>&1; then
  echo "wine-run: heap damage reported (see the heap lines above)" >&2
  exit 1
fi
exit "$status"
