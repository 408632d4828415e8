#!/bin/sh
# The Windows installer end to end, in a Wine prefix made for this run only:
# a silent install to the default folder with the simulated board library,
# the uninstall entry, tarnix-host.exe info from the install folder, a
# worksheet saved there by the installed driver, then the silent uninstall:
# files and entry gone, the worksheet key kept. A second install with /D=
# over a VLQAPI.dll that the installer did not put there must leave it alone,
# and so must its uninstaller.
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
# driver are 32-bit programs.
reg() {
  WINEDEBUG=-all wine reg "$@" /reg:32 >"$work/reg.txt" 2>&1 </dev/null || true
  tr -d '\r' <"$work/reg.txt"
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
         doc/user-guide.md doc/pictures/setup-dialog.png boardsim/VLQAPI.dll boardsim/README.txt; do
  check "installed $f" test -f "$dir/$f"
done
check "tarnix.dll is the shipped one" cmp -s "$bin/tarnix.dll" "$dir/tarnix.dll"
check "no VLQAPI.dll beside the driver" test ! -e "$dir/VLQAPI.dll"

echo "== uninstall entry"
entry=$(reg query "$uninstall_key")
echo "$entry"
check "entry names version $version" has "$entry" "^ +DisplayVersion +REG_SZ +$version\$"
check "entry has the uninstaller" has "$entry" '^ +UninstallString +REG_SZ +.*uninstall\.exe'
check "entry has the silent uninstaller" has "$entry" '^ +QuietUninstallString +REG_SZ +.*uninstall\.exe" /S'
check "entry has the install folder" has "$entry" '^ +InstallLocation +REG_SZ +C:.*TARNIX$' 

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
check "worksheet key written" has "$(reg query "$worksheet")" '^ +Range +REG_DWORD' 

echo "== silent uninstall"
"$runner" "$dir/uninstall.exe" /S
wineserver -w  # the uninstaller runs on from a copy of itself
check "install folder removed" test ! -e "$dir"
check "uninstall entry removed" test -z "$(reg query "$uninstall_key" | grep DisplayName)"
kept=$(reg query "$worksheet")
echo "$kept"
check "worksheet key kept" has "$kept" '^ +Range +REG_DWORD' 

echo "== /D= over a VLQAPI.dll of someone else's"
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

[ "$fail" -eq 0 ] && echo "installer: all checks passed"
exit "$fail"
