#!/usr/bin/env bash
# The console set: a distribution with ControlCenter.msi only. The first run asks nothing:
# it installs the C/C++ runtime and .NET Framework (both on the second line) and the
# Control Center. With a newer build in the distribution the status window offers "Update"
# with the versions, and Update replaces the package; with the current build it offers
# "Modify", which hands the package to its own maintenance run (the sample package has no
# maintenance dialog, so it stays as it is).
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-console
e2e_prepare
rm -f "$E2E_DIST"/SecurityServer.msi "$E2E_DIST"/AuthServer.msi "$E2E_DIST"/FederationSyncService.msi
# The .NET Framework installer is looked for only in the default folder beside the kit.
dotnet_folder=$WINEPREFIX/drive_c/tools/microsoft/prerequisites
mkdir -p "$dotnet_folder"
cp "$E2E_BUILD/samples/prerequisites/dotnetfx45_full_x86_x64.exe" "$dotnet_folder/"

e2e_log "first installation"
ui_start
ui_drive visible:152 "text:152:$UI_CANCEL=Close" \
  $(ui_lines_icons finished finished finished none none) \
  "text:152:1001=analyzing updates (.NET Framework)" "text:152:1002=Control Center - Installed" \
  "shown:152:$UI_CONSOLE_CHOICE=0" hidden:1035 nomsgbox "press:152:$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Control Center"
[ -s "$E2E_DIST/prerequisites/vcredist_x64.calls" ] || e2e_fail "the runtime installer did not run"
[ -s "$dotnet_folder/dotnetfx45_full_x86_x64.calls" ] || e2e_fail "the .NET Framework installer did not run"

e2e_log "update"
cp "$E2E_BUILD/samples/v2/ControlCenter.msi" "$E2E_DIST/"
ui_start
ui_drive visible:152 "shown:152:$UI_CONSOLE_CHOICE=1" "text:152:$UI_CONSOLE_CHOICE=Update" \
  "text:152:$UI_MESSAGE=\\r\\n\\r\\nThe program will be updated from version 12.1.100.0 to version 12.1.200.0." \
  hidden:1035 "press:152:$UI_CONSOLE_CHOICE" "shown:152:$UI_CONSOLE_CHOICE=0" "shown:152:$UI_MESSAGE=0" \
  "text:152:$UI_CANCEL=Close" "text:152:1002=Control Center - Updated" "icon:152:1005=finished" \
  nomsgbox "press:152:$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000000
[ "$(ui_products)" = "$(printf 'Orvane Studio Control Center\t12.1.200.0')" ] || e2e_fail "not updated: $(ui_products)"

e2e_log "modify"
ui_start
ui_drive visible:152 "shown:152:$UI_CONSOLE_CHOICE=1" "text:152:$UI_CONSOLE_CHOICE=Modify" \
  "press:152:$UI_CONSOLE_CHOICE" "shown:152:$UI_CONSOLE_CHOICE=0" \
  "text:152:$UI_CANCEL=Close" "text:152:1002=Control Center - Modified" "icon:152:1005=finished" \
  nomsgbox "press:152:$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Control Center"
e2e_finish
