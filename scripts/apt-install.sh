#!/bin/sh
# Installs Debian packages for scripts/setup.sh and gets through the
# archive's bad days:
#   apt-install.sh [--update-only] PACKAGE...
#
# - The index update is tried with apt's own retries; an index that still
#   fails to download (a mirror mid-sync) is reported in one line and the
#   install goes on with what the other indexes give. Whether set-up works
#   is judged by the install alone.
# - With one index missing, the amd64 and i386 candidates of a multi-arch
#   package can come from different suites (amd64 from the security suite,
#   i386 only from the release), and apt then refuses the i386 half
#   ("... but it is not going to be installed"). The install is then tried
#   once more with every package taken from the release suite alone
#   (-t bookworm), which gives both architectures the same version.
# - Another package manager at work (on a fresh machine, often the first
#   boot's automatic upgrades) is waited for rather than taken as a failure.
# - When nothing installs, the script names the package and the cause:
#   an installed amd64 package newer than any i386 candidate (nothing can
#   succeed until the archive catches up), a package apt does not know, a
#   download that failed, a package manager that kept its lock, or the unmet
#   dependency apt reported.
#
# apt-get, apt-cache, dpkg and dpkg-query are taken from PATH, so a test can
# put stubs first; TARNIX_SETUP_SUDO overrides the prefix (empty: none; by
# default sudo when not root, which would reset PATH).
set -u
suite=${TARNIX_APT_SUITE:-bookworm}
. "$(dirname "$0")/sudo-prefix.sh"
update_only=""
[ "${1:-}" = --update-only ] && { update_only=1; shift; }
# apt's own patience: each download tried again, and the lock of a package
# manager already at work waited for (up to 10 minutes). The environment is
# passed through env, since sudo clears it.
retries="-o Acquire::Retries=3 -o DPkg::Lock::Timeout=600"
apt="env DEBIAN_FRONTEND=noninteractive apt-get"
log=$(mktemp "${TMPDIR:-/tmp}/tarnix-apt.XXXXXX")
trap 'rm -f "$log"' EXIT

say() { echo "setup: $*" >&2; }

# apt-get update: an index that fails is not the end of set-up.
# shellcheck disable=SC2086
if ! $SUDO $apt update -q $retries >"$log" 2>&1; then
  cat "$log"
  failed=$(sed -n -E 's/^(E|W): Failed to fetch ([^ ]+).*/\2/p' "$log" | head -n 3 | tr '\n' ' ')
  failed=${failed% }
  say "the package index update failed${failed:+ for $failed}; going on with the indexes that did download"
else
  cat "$log"
fi
[ -n "$update_only" ] && exit 0
[ $# -gt 0 ] || exit 0

# apt-get install, its output kept for the diagnosis.
apt_install() {
  # shellcheck disable=SC2086
  $SUDO $apt install -y -q --no-install-recommends $retries "$@" >"$log" 2>&1
  status=$?
  cat "$log"
  return $status
}

apt_install "$@" && exit 0

# The i386 half refused while its amd64 half comes from another suite:
# "X:i386 : Depends: ... but it is not going to be installed", or the two
# halves of a multi-arch package breaking each other ("X:i386 : Breaks: X
# (!= V) but W is to be installed").
if grep -qE ':i386 .*(but it is not going to be installed|but [^ ]+ is (to be )?installed)' "$log"; then
  say "the amd64 and i386 candidates disagree (an index of one architecture is missing or older); installing every package from $suite alone (apt-get upgrade brings the newer versions once the archive has caught up)"
  apt_install -t "$suite" "$@" && exit 0
fi

# Nothing installed: name the package and the cause.
status=1
# An installed amd64 package newer than every i386 candidate of the same
# name: multi-arch packages must match, so only the archive can mend it.
# Every i386 package apt named is looked at, on either side of its unmet
# dependency, since the one that cannot follow is often the one refused.
named=$(grep -oE '[a-z0-9][a-z0-9.+-]+:i386' "$log" | sed 's/:i386$//' | sort -u)
for pkg in $named; do
  installed=$(dpkg-query -W -f '${db:Status-Status} ${Version}' "$pkg:amd64" 2>/dev/null) || continue
  case $installed in installed\ ?*) installed=${installed#installed } ;; *) continue ;; esac
  newest=""
  for v in $(apt-cache madison "$pkg:i386" 2>/dev/null | awk -F'|' '{ gsub(/ /, "", $2); print $2 }'); do
    if [ -z "$newest" ] || dpkg --compare-versions "$v" gt "$newest"; then newest=$v; fi
  done
  if [ -n "$newest" ] && dpkg --compare-versions "$installed" gt "$newest"; then
    say "$pkg: the installed amd64 version $installed is newer than any i386 candidate ($newest); the two halves of a multi-arch package must match, so no install can succeed until the archive's i386 index catches up: run make setup again later"
    exit 1
  fi
done

missing=$(sed -n -E "s/^E: Unable to locate package (.*)/\1/p; s/^E: Package '([^']+)' has no installation candidate/\1/p" "$log" | sort -u | tr '\n' ' ')
if [ -n "$missing" ]; then
  say "apt knows no installable package ${missing% } in its indexes; check /etc/apt/sources (bookworm, with the i386 architecture added) and run make setup again"
  exit $status
fi
locked=$(sed -n -E 's/^E: Could not get lock ([^ ]*[^ .])\.?( It is held by (.*))?/\1 \3/p' "$log" | head -n 1)
if [ -n "$locked" ]; then
  holder=${locked#* }
  say "another package manager${holder:+ ($holder)} kept its lock ${locked%% *} for more than 10 minutes; let it finish and run make setup again"
  exit $status
fi
fetch=$(sed -n -E 's/^E: Failed to fetch [^ ]*\/([^/_ ]+)_([^_ ]+)_[^ ]*\.deb +(.*)/\1 \2: \3/p' "$log" | head -n 1)
if [ -n "$fetch" ]; then
  say "the download of ${fetch%%:*} failed (${fetch#*: }); the archive or the network failed, run make setup again"
  exit $status
fi
first=$(sed -n -E -e 's/^ *([^ ]+) : (Pre-)?Depends: ([^ ]+( \([^)]*\))?) (but .*)/\1 needs \3, \5/p' \
                    -e 's/^ *([^ ]+) : (Breaks|Conflicts): ([^ ]+( \([^)]*\))?) (but .*)/\1 breaks \3, \5/p' "$log" | head -n 1)
if [ -n "$first" ]; then
  say "the install failed: $first; the packages' candidates in the archive do not fit together (see apt's list above)"
else
  say "the install of $* failed: $(tail -n 1 "$log")"
fi
exit $status
