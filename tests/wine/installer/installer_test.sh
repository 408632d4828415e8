#!/bin/sh
# The Windows installer end to end, in a Wine prefix made for this run only:
# a silent install to the default folder with the simulated board library,
# the uninstall entry, tarnix-host.exe info from the install folder, a
# worksheet saved there by the installed driver. While that install is
# there, a second one into another folder whose boardsim\VLQAPI.dll is
# someone else's is refused and leaves that folder as it was. Then the
# silent uninstall: files and entry gone, the worksheet key kept. An
# install with /D= over a VLQAPI.dll that the installer did not put there
# must leave it alone, and so must its uninstaller, also when an install
# removed by hand left its entry behind.
#   installer_test.sh <wine-run.sh> <setup.exe> <folder of the shipped files> <version> <work folder>
set -eu
runner=$1
setup=$2
bin=$3
version=$4
work=$5

if [ ! -f "$setup" ]; then
  echo "no installer at $setup (makensis missing? scripts/setup.sh installs nsis)" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
export TARNIX_WINEPREFIX="$work/prefix"
export WINEPREFIX="$TARNIX_WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
drive="$WINEPREFIX/drive_c"
fail=0
check() {  # check <description> <command...>
  what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; fail=1; fi
}
# Wine's reg tool into a file: the Wine server started for it would hold a
# pipe open long after the command ended. 32-bit view: the installer and the
# driver are 32-bit programs. The prefix's own (64-bit) reg through Wine's
# 64-bit loader runs no 32-bit Linux code, which costs minutes a start where
# such code runs only through qemu-user. The key's values land in $reg_out,
# reg's exit status in $reg_status (1 when the key is not there, as for a
# failure of reg itself, so a missing key is also told by reg's own words).
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
reg_run() {  # reg_run <reg arguments...>
  reg_status=0
  WINELOADER=$wine WINEDEBUG=-all "$wine" reg "$@" /reg:32 >"$work/reg.txt" 2>&1 </dev/null ||
    reg_status=$?
  reg_out=$(tr -d '\r' <"$work/reg.txt")
}
reg_query() { reg_run query "$1"; }
reg_found() {  # reg_found <pattern>: reg answered and printed a matching line
  test "$reg_status" -eq 0 && has "$reg_out" "$1"
}
reg_absent() {  # the key asked for is not there (and reg itself ran)
  test "$reg_status" -eq 1 && has "$reg_out" 'nable to find the specified registry key'
}
has() { printf '%s\n' "$1" | grep -Eq "$2"; }  # has <text> <pattern>
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TARNIX'

echo "== silent install (default folder, with the simulated board library)"
"$runner" "$setup" /S /BOARDSIM
wineserver -w
dir="$drive/Program Files (x86)/TARNIX"
[ -d "$dir" ] || dir="$drive/Program Files/TARNIX"
find "$drive" -path '*TARNIX*' -type f | sed "s|$drive/|C:/|" | sort
for f in tarnix.dll tarnix-host.exe uninstall.exe README.txt LICENSE.txt \
         doc/user-guide.md doc/pictures/setup-dialog.png boardsim/VLQAPI.dll boardsim/README.txt \
         boardsim/libsndfile-1.dll third-party/libsndfile.txt; do
  check "installed $f" test -f "$dir/$f"
done
check "tarnix.dll is the shipped one" cmp -s "$bin/tarnix.dll" "$dir/tarnix.dll"
check "no VLQAPI.dll beside the driver" test ! -e "$dir/VLQAPI.dll"

echo "== uninstall entry"
reg_query "$uninstall_key"
echo "$reg_out"
check "entry names version $version" reg_found "^ +DisplayVersion +REG_SZ +$version\$"
check "entry has the uninstaller" reg_found '^ +UninstallString +REG_SZ +.*uninstall\.exe'
check "entry has the silent uninstaller" reg_found '^ +QuietUninstallString +REG_SZ +.*uninstall\.exe" /S'
check "entry has the install folder" reg_found '^ +InstallLocation +REG_SZ +C:.*TARNIX$'

echo "== tarnix-host.exe info from the install folder, stand-in on PATH"
winedir=$(printf '%s' "$dir" | sed "s|^$drive|C:|; s|/|\\\\|g")
status=0
WINEPATH="$winedir\\boardsim" "$runner" "$dir/tarnix-host.exe" info >"$work/info.txt" 2>&1 || status=$?
tr -d '\r' <"$work/info.txt"
check "info exits 0" test "$status" -eq 0
check "info shows the driver" grep -q "Driver  *VELQ Sorvik Interface" "$work/info.txt"
check "info shows a simulated board" grep -q "Board  *VQ-" "$work/info.txt"
WINEPATH="$winedir\\boardsim" "$runner" "$dir/tarnix-host.exe" worksheet save "kept bench" \
  >"$work/save.txt" 2>&1 || { cat "$work/save.txt"; check "worksheet saved" false; }
worksheet='HKLM\Software\Morvane\VELQ\Sorvik\kept bench'
reg_query "$worksheet"
check "worksheet key written" reg_found '^ +Range +REG_DWORD'

echo "== a second folder while the first install is there"
# The uninstall entry and what it knows about the board library are one
# per machine: a second folder would take them over, and its boardsim
# VLQAPI.dll (someone else's) would be overwritten and later removed.
second="$drive/Second/TARNIX"
mkdir -p "$second/boardsim"
echo "not the installer's board library either" >"$second/boardsim/VLQAPI.dll"
cp "$second/boardsim/VLQAPI.dll" "$work/foreign-second.dll"
status=0
"$runner" "$setup" /S /BOARDSIM '/D=C:\Second\TARNIX' || status=$?
wineserver -w
check "second folder refused with status 2 (got $status)" test "$status" -eq 2
check "second folder's VLQAPI.dll untouched" cmp -s "$work/foreign-second.dll" "$second/boardsim/VLQAPI.dll"
check "nothing installed in the second folder" test ! -e "$second/tarnix.dll" -a ! -e "$second/uninstall.exe"
if [ -e "$second/uninstall.exe" ]; then
  "$runner" "$second/uninstall.exe" /S
  wineserver -w
  check "second folder's VLQAPI.dll survives its uninstaller" \
    cmp -s "$work/foreign-second.dll" "$second/boardsim/VLQAPI.dll"
fi
reg_query "$uninstall_key"
check "the entry still names the first folder" reg_found "^ +InstallLocation +REG_SZ +$(printf '%s' "$winedir" | sed 's/[\\.()]/\\&/g')\$"
check "the first install is whole" test -f "$dir/boardsim/VLQAPI.dll" -a -f "$dir/uninstall.exe"

echo "== silent uninstall"
"$runner" "$dir/uninstall.exe" /S
wineserver -w  # the uninstaller runs on from a copy of itself
check "install folder removed" test ! -e "$dir"
reg_query "$uninstall_key"
echo "$reg_out"
check "uninstall entry removed" reg_absent
reg_query "$worksheet"
echo "$reg_out"
check "worksheet key kept" reg_found '^ +Range +REG_DWORD'

echo "== /D= over a VLQAPI.dll of someone else's, after an install removed by hand"
# The entry of a folder deleted without its uninstaller, which had the
# board library installed: it says nothing about the new folder's files.
reg_run add "$uninstall_key" /v InstallLocation /d 'C:\Gone\TARNIX' /f
check "stale entry written" test "$reg_status" -eq 0
reg_run add "$uninstall_key" /v TarnixBoardSimLibrary /t REG_DWORD /d 1 /f
check "stale board library mark written" test "$reg_status" -eq 0
other="$drive/Bench/TARNIX"
mkdir -p "$other/boardsim"
echo "not the installer's board library" >"$other/boardsim/VLQAPI.dll"
cp "$other/boardsim/VLQAPI.dll" "$work/foreign.dll"
"$runner" "$setup" /S /BOARDSIM '/D=C:\Bench\TARNIX'
wineserver -w
check "installed to /D= folder" test -f "$other/tarnix.dll"
check "existing VLQAPI.dll not replaced" cmp -s "$work/foreign.dll" "$other/boardsim/VLQAPI.dll"
"$runner" "$other/uninstall.exe" /S
wineserver -w
check "driver removed" test ! -e "$other/tarnix.dll"
check "existing VLQAPI.dll not removed" cmp -s "$work/foreign.dll" "$other/boardsim/VLQAPI.dll"
reg_query "$uninstall_key"
check "its uninstall entry removed" reg_absent

[ "$fail" -eq 0 ] && echo "installer: all checks passed"
exit "$fail"
