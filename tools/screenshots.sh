#!/usr/bin/env bash
# Regenerates the screenshots in docs/: the real windows in their main states, under Xvfb.
#   tools/screenshots.sh            (BUILD_DIR=... for another build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ -z "${OV_SCREENSHOT_DISPLAY:-}" ]; then
  "$root/tools/bootstrap.sh"
  "$root/tools/build.sh" UiShowcase UiDriver
  # A display of its own, so the shots do not depend on what else is on the screen.
  exec env OV_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

"$root/tools/wine-prefix.sh" init "$build"
"$root/tools/wine-prefix.sh" start "$build"
trap '"$root/tools/wine-prefix.sh" stop "$build"' EXIT
run() { "$root/tools/wine-run.sh" "$build/wineprefix" "$@"; }

mkdir -p "$root/docs"
shot() {
  local state=$1 dialog=$2
  run "$build/bin/UiShowcase.exe" "$state" 8 &
  local showcase=$!
  # Visible, then a moment for the last posted changes to paint.
  run "$build/bin/UiDriver.exe" /timeout:20000 "visible:$dialog" sleep:1500 >/dev/null
  import -window root png:- | convert png:- -trim +repage "$root/docs/$state.png"
  wait "$showcase"
  echo "docs/$state.png"
}

shot installing 152
shot failed 152
shot countdown 152
shot summary-install 1035
shot summary-change 1035
shot summary-update 1035
