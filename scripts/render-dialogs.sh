#!/bin/sh
# Renders the pictures of the user guide from the built module: the splash,
# the hardware setup dialog and the about box of tarnix.dll, put up under
# Wine on an Xvfb display against the simulated board library, written to
# docs/pictures/. Run it again whenever a dialog changes.
#
#   scripts/render-dialogs.sh [build folder]     (default: build/windows)
#
# The dialogs are held open by dialog_pictures.exe (tests/wine/pictures/),
# which asks for each picture with a request file naming the window's place
# on the screen; this script takes the picture with ImageMagick's import and
# deletes the request. The Wine prefix is the build folder's own, set to let
# Wine draw the window frames itself (there is no window manager on Xvfb),
# so the pictures show the caption bars a user sees.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
out=$root/docs/pictures
work=$build/pictures
export TARNIX_WINEPREFIX="$build/wineprefix-pictures"
export WINEPREFIX="$TARNIX_WINEPREFIX"

cmake --build "$build" --target dialog_pictures tarnix vlqapi >/dev/null
program=$build/bin/dialog_pictures.exe
[ -f "$program" ] || { echo "render-dialogs: $program was not built" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work" "$out"
# The prefix is made by the first run; the frame setting goes in once.
sh "$root/scripts/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
  >"$work/reg.log" 2>&1
# Wine's own fonts (Debian: fonts-wine), where Windows keeps its fonts, so
# that the dialogs use "MS Sans Serif" as their templates ask and the caption
# buttons their symbols (Marlett); without them Wine substitutes others.
if [ -d /usr/share/wine/fonts ]; then
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
else
  echo "render-dialogs: Wine's fonts missing (scripts/setup.sh installs fonts-wine);" \
       "the pictures use substitutes" >&2
fi

# Inside one Xvfb: the program in the background, this shell answering its
# requests until it ends.
export RENDER_PROGRAM="$program" RENDER_WORK="$work" RENDER_OUT="$out" RENDER_ROOT="$root"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  set -eu
  TARNIX_NO_XVFB=1 sh "$RENDER_ROOT/scripts/wine-run.sh" "$RENDER_PROGRAM" \
    "Z:$(printf %s "$RENDER_WORK" | tr / "\\\\")" >"$RENDER_WORK/program.log" 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    for request in "$RENDER_WORK"/*.request; do
      [ -s "$request" ] || continue
      name=$(basename "$request" .request)
      set -- $(cat "$request")
      import -window root -crop "${3}x${4}+${1}+${2}" +repage -strip \
        -define png:exclude-chunks=date,time "$RENDER_OUT/$name.png"
      echo "render-dialogs: docs/pictures/$name.png (${3}x${4})"
      rm -f "$request"
    done
    sleep 0.2
  done
  wait "$pid"
' || {
  cat "$work/program.log" >&2
  echo "render-dialogs: the pictures were not all taken" >&2
  exit 1
}
