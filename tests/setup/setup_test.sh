#!/bin/sh
# Set-up's decisions on an archive's bad day, without the network: stub
# apt-get, apt-cache, dpkg and dpkg-query first on PATH, whose index update
# fails as a mirror mid-sync does and whose install refuses the i386 half of
# a multi-arch package. scripts/apt-install.sh must then install from one
# suite and succeed, or stop naming the package and the cause; and
# scripts/setup.sh as a whole, on a machine where everything else is in
# place, must end well. Nothing here runs as root through sudo (which would
# reset PATH), and the stubs of sudo, tee and mount fail, so nothing of the
# machine is changed.
#   setup_test.sh <source folder> <work folder below the build folder>
# Prints one "ok - " or "not ok - " line per check, and set-up's own
# "setup:" lines after "# "; exits 1 if any check failed.
set -u
source=$1
work=$2
rm -rf "$work"
mkdir -p "$work/stubs" "$work/tmp"
export TMPDIR="$work/tmp" TARNIX_SETUP_SUDO=""
real_dpkg=$(command -v dpkg)
stubs=$work/stubs
calls=$work/calls.log
failures=0

check() {  # check <what> <command...>
  what=$1
  shift
  if "$@"; then
    echo "ok - $what"
  else
    echo "not ok - $what"
    failures=$((failures + 1))
  fi
}

# apt-get as the archive behaved: the security suite's i386 index mid-sync;
# the install refuses the i386 half until every package comes from one
# suite (STUB_APT=pinned), or always (STUB_APT=never).
cat >"$stubs/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$STUB_CALLS"
case " $* " in
  *" update "*)
    echo "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
  *" install "*" -t bookworm "*)
    if [ "$STUB_APT" = pinned ]; then
      echo "Setting up wine32:i386 (8.0~repack-4) ..."
      exit 0
    fi ;;
  *" install "*) ;;
  *) echo "apt-get stub: unexpected: $*" >&2; exit 2 ;;
esac
cat <<'OUT'
Some packages could not be installed. This may mean that you have
requested an impossible situation or if you are using the unstable
distribution that some required packages have not yet been created
or been moved out of Incoming.
The following information may help to resolve the situation:

The following packages have unmet dependencies:
 libssl3:i386 : Breaks: libssl3 (!= 3.0.20-1~deb12u2) but 3.0.22-1~deb12u2 is to be installed
 wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
OUT
exit 100
EOF
# Installed amd64 libssl3: the version of the release suite, or
# (STUB_AMD64=newer) the security suite's, newer than any i386 candidate.
cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/sh
echo "dpkg-query $*" >>"$STUB_CALLS"
case "$*" in
  *libssl3:amd64*)
    if [ "${STUB_AMD64:-}" = newer ]; then v=3.0.22-1~deb12u2; else v=3.0.20-1~deb12u2; fi
    printf 'installed %s' "$v" ;;
  *) echo "dpkg-query: no packages found matching $*" >&2; exit 1 ;;
esac
EOF
cat >"$stubs/apt-cache" <<'EOF'
#!/bin/sh
echo "apt-cache $*" >>"$STUB_CALLS"
case "$*" in
  "madison libssl3:i386")
    echo "   libssl3:i386 | 3.0.20-1~deb12u2 | http://deb.debian.org/debian bookworm/main i386 Packages"
    echo "   libssl3:i386 | 3.0.17-1~deb12u2 | http://deb.debian.org/debian bookworm-updates/main i386 Packages" ;;
  madison*) ;;
  *) echo "apt-cache stub: unexpected: $*" >&2; exit 2 ;;
esac
EOF
# dpkg: adding an architecture is recorded; what only reads (-s,
# --compare-versions) is the real dpkg.
cat >"$stubs/dpkg" <<EOF
#!/bin/sh
echo "dpkg \$*" >>"\$STUB_CALLS"
[ "\$1" = --add-architecture ] && exit 0
exec "$real_dpkg" "\$@"
EOF
for tool in sudo tee mount npm; do
  printf '#!/bin/sh\necho "%s $*" >>"$STUB_CALLS"\necho "%s stub: not expected here: $*" >&2\nexit 2\n' \
    "$tool" "$tool" >"$stubs/$tool"
done
chmod +x "$stubs"/*
export PATH="$stubs:$PATH" STUB_CALLS="$calls"

# run <name> <command...>: its status in $status, its set-up lines in
# $work/<name>.setup (shown after "# "), every output in $work/<name>.out.
run() {
  name=$1
  shift
  : >"$calls"
  status=0
  "$@" >"$work/$name.out" 2>&1 || status=$?
  cp "$calls" "$work/$name.calls"
  grep '^setup: ' "$work/$name.out" >"$work/$name.setup"
  sed 's/^/# /' "$work/$name.setup"
}
said() {  # said <name> <extended regex>: a set-up line of run <name> matches
  grep -qE "$2" "$work/$1.setup"
}

packages="wine32:i386 libssl3:i386 cmake"

STUB_APT=pinned run pinned sh "$source/scripts/apt-install.sh" $packages
check "a failed index update is passed, and the install refused for i386 succeeds from bookworm alone" \
  test "$status" -eq 0
check "the install from one suite is said in one line, and was the last install tried" \
  sh -c '[ "$(grep -c "candidates disagree" "$1")" -eq 1 ] &&
         grep "^apt-get install " "$2" | tail -n 1 | grep -q " -t bookworm "' - \
  "$work/pinned.setup" "$work/pinned.calls"

STUB_APT=never run never sh "$source/scripts/apt-install.sh" $packages
check "every install refused: non-zero, naming the package and the cause" \
  sh -c '[ "$1" -ne 0 ] && grep -qE "libssl3:i386 breaks libssl3 .*but 3.0.22-1~deb12u2 is to be installed" "$2"' - \
  "$status" "$work/never.setup"

STUB_APT=never STUB_AMD64=newer run newer sh "$source/scripts/apt-install.sh" $packages
check "an installed amd64 newer than every i386 candidate: non-zero, saying so plainly" \
  sh -c '[ "$1" -ne 0 ] &&
         tail -n 1 "$2" | grep -qE "^setup: libssl3: the installed amd64 version 3.0.22-1~deb12u2 is newer than any i386 candidate \(3.0.20-1~deb12u2\)"' \
  - "$status" "$work/newer.setup"

STUB_APT=pinned TARNIX_SETUP_FORCE=1 run whole sh "$source/scripts/setup.sh"
check "setup.sh as a whole on that day ends well, the rest being in place" \
  sh -c '[ "$1" -eq 0 ] && grep -q "^dpkg --add-architecture i386" "$2" &&
         grep -q "^apt-get install .* -t bookworm .*wine32:i386" "$2" &&
         ! grep -qE "^(sudo|tee|mount|npm) " "$2"' - "$status" "$work/whole.calls"

[ "$failures" -eq 0 ] || { echo "set-up's full output: $work/*.out" >&2; exit 1; }
