#!/bin/sh
# Fails when a room includes another room's private header.
#
# The rooms and what each may include besides its own files:
#   abi/            nothing else: the contracts stand alone
#   src/platform/   abi/ (the OS seam depends on nothing above it)
#   src/ (the rest) src/platform/ and abi/
#   boardsim/       abi/
#   host/os/        abi/
#   host/core/      host/os/ and abi/
#   host/monitor/   host/core/, host/os/ and abi/
#   host/cli/       host/monitor/, host/core/, host/os/ and abi/
#   host/testing/   abi/
# tests/, bench/ and fuzz/ may include anything: they test the insides.
#
# Every include, quoted or angled, of a file in a checked room is looked up
# among the repository's own files: beside the including file, and below any
# folder (as an include path would find it). It passes when one of the files
# it can name belongs to a room the including file may use, and also when it
# names no file of the repository (a system or generated header). A file
# that includes another room's header is reported as
#   <file>:<line>: includes "<name>" = <path>, private to <room>
# and the check fails.
#
# Usage: sh scripts/check-include-rooms.sh [source-dir]
set -eu
root="${1:-$(dirname "$0")/..}"
cd "$root"

list=$(mktemp)
trap 'rm -f "$list"' EXIT
for room in abi src boardsim host tests bench fuzz; do
  [ -d "$room" ] || continue
  find "$room" -type d -name node_modules -prune -o -type f \
    \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' -o -name '*.rc' \
       -o -name '*.h.in' -o -name '*.rc.in' \) -print
done | sort >"$list"

awk '
function room(path) {
  if (path ~ /^src\/platform\//) return "src/platform"
  if (path ~ /^host\/[^\/]+\//) {
    sub(/^host\//, "", path)
    sub(/\/.*$/, "", path)
    return "host/" path
  }
  sub(/\/.*$/, "", path)
  return path
}
function checked(r) {
  return r == "abi" || r == "src/platform" || r == "src" || r == "boardsim" || r ~ /^host/
}
# The host rooms stand in layers, each seeing those below it.
function host_layer(r) {
  if (r == "host/os") return 1
  if (r == "host/core") return 2
  if (r == "host/monitor") return 3
  if (r == "host/cli") return 4
  return 0
}
function allowed(from, to) {
  if (from == to) return 1
  if (from == "abi") return 0
  if (to == "abi") return 1
  if (host_layer(from) > 0 && host_layer(to) > 0) return host_layer(to) < host_layer(from)
  return from == "src" && to == "src/platform"
}
function normalize(path,    n, parts, out, i, k) {
  n = split(path, parts, "/")
  k = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == "..") { if (k > 0) k--; continue }
    out[++k] = parts[i]
  }
  path = ""
  for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
  return path
}
{ files[++count] = $0; known[$0] = 1 }
END {
  bad = 0; scanned = 0
  for (f = 1; f <= count; f++) {
    source = files[f]
    from = room(source)
    if (!checked(from)) continue
    scanned++
    dir = source; sub(/\/[^\/]*$/, "", dir)
    line = 0
    while ((getline text < source) > 0) {
      line++
      if (text !~ /^[ \t]*#[ \t]*include[ \t]*["<]/) continue
      name = text
      sub(/^[ \t]*#[ \t]*include[ \t]*["<]/, "", name)
      sub(/[">].*$/, "", name)
      ok = 0; found = ""
      near = normalize(dir "/" name)
      if (near in known) {
        if (allowed(from, room(near))) ok = 1; else found = near
      }
      if (!ok) {
        for (g = 1; g <= count; g++) {
          target = files[g]
          if (target != name && substr(target, length(target) - length(name)) != "/" name) continue
          if (allowed(from, room(target))) { ok = 1; break }
          if (found == "") found = target
        }
      }
      if (!ok && found != "") {
        printf "%s:%d: includes \"%s\" = %s, private to %s/\n", source, line, name, found, room(found)
        bad++
      }
    }
    close(source)
  }
  if (bad > 0) {
    printf "include rooms: %d include(s) reach into another room (of %d files checked)\n", bad, scanned
    exit 1
  }
  printf "include rooms: %d files checked, every include stays in its room\n", scanned
}
' "$list"
