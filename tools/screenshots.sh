#!/usr/bin/env bash
# Regenerates the screenshots in docs/ from runs of Setup.exe itself under Xvfb, driven by
# the UI driver on a copy of the end-to-end template prefix (as tests/e2e/ui-lib.sh does).
# Only "installing" comes from the showcase helper: a package installs in about a second,
# too short to catch a run in that state.
#   tools/screenshots.sh            (BUILD_DIR=... for another build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ -z "${OV_SCREENSHOT_DISPLAY:-}" ]; then
  "$root/tools/bootstrap.sh"
  "$root/tools/build.sh"
  # A display of its own, so the shots do not depend on what else is on the screen.
  exec env OV_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

mkdir -p "$root/docs"
set +eu
source "$root/tests/e2e/ui-lib.sh" "$build" screenshots
UI_TIMEOUT=30000

# The screen, trimmed to the window (no window manager: nothing else is drawn), after a
# moment for the last changes to paint.
shot() {
  ui_drive sleep:1500
  import -window root png:- | convert png:- -trim +repage "$root/docs/$1.png"
  e2e_log "docs/$1.png"
}

# Ends the run with Cancel (or Close) and waits for it.
cancel() {
  ui_drive "press:$1:$UI_CANCEL"
  ui_wait_exit 120
}

e2e_prepare

ui_start
ui_drive visible:1035
shot summary-install
cancel 1035

ui_start /msi:OVASEXTRA=FORCEFAIL=1
ui_drive visible:1035 "press:1035:$UI_ACTION" visible:152 msgbox:ok:152 "icon:152:1048=failed" "text:152:$UI_CANCEL=Close"
shot failed
cancel 152

ui_start
ui_drive visible:1035 "press:1035:$UI_ACTION" visible:152 "shown:152:$UI_REBOOT=1" sleep:3000
shot countdown
cancel 152

ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Modify"
shot summary-change
cancel 1035

cp "$E2E_BUILD"/samples/v2/*.msi "$E2E_DIST/"
ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Update"
shot summary-update
cancel 1035

# The same windows at 144 DPI (150 %): laid out from dialog units, icons from their own images.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>&1
wineserver -k; wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Update"
shot summary-update-144dpi
ui_drive "press:1035:$UI_ACTION" visible:152 "shown:152:$UI_REBOOT=1" sleep:3000
shot countdown-144dpi
cancel 152
e2e_stop

# The one state from the showcase.
"$root/tools/wine-prefix.sh" init "$build"
"$root/tools/wine-prefix.sh" start "$build"
trap '"$root/tools/wine-prefix.sh" stop "$build"' EXIT
"$root/tools/wine-run.sh" "$build/wineprefix" "$build/bin/UiShowcase.exe" installing 8 &
showcase=$!
"$root/tools/wine-run.sh" "$build/wineprefix" "$build/bin/UiDriver.exe" /timeout:20000 visible:152 sleep:1500 >/dev/null
import -window root png:- | convert png:- -trim +repage "$root/docs/installing.png"
wait "$showcase"
echo "docs/installing.png"
[ "$E2E_FAILED" = 0 ]
