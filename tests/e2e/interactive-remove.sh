#!/usr/bin/env bash
# Removal from the summary window, with the three server packages installed: a declined
# question leaves the window as it was; a confirmed one brings the status window back with
# its lines in the order of removal (Synchronization service first, Security Server last),
# removes every package and the language mark; the removed Security Server asks for a
# restart, and Cancel during the countdown ends the run with 0 and no restart.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-remove
e2e_prepare
ui_install_silently
wine msiexec /i 'C:\dist\FederationSyncService.msi' /qn </dev/null >/dev/null 2>&1
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server" \
  "Orvane Studio Synchronization Service"

ui_start
before=("text:1035:$UI_HEADING=Select components to install or update:" "text:1035:$UI_ACTION=Modify"
  "enabled:1035:$UI_ACTION=0" "checked:1035:$UI_SYNC_BOX=1" "shown:1035:$UI_UNINSTALL=1")
ui_drive visible:1035 "${before[@]}" \
  "press:1035:$UI_UNINSTALL" \
  "msgbox:no:1035=Do you really want to uninstall the Security Server and all of its components?" \
  sleep:500 nomsgbox visible:1035 hidden:152 "${before[@]}"
ui_drive "press:1035:$UI_UNINSTALL" "msgbox:yes:1035" hidden:1035 visible:152 \
  "text:152:1002=Synchronization service - Uninstalled" "text:152:1046=Authentication server - Uninstalled" \
  "text:152:1047=Security Server - Uninstalled" $(ui_lines_icons finished finished finished finished finished) \
  nomsgbox $(ui_cancel_countdown)
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_no_restart
# The packages went in the order the lines show, each on its own line.
order=$(e2e_log_text | grep -o 'lineId: [0-9], text:.* - Uninstalling' | tr '\n' '|')
[ "$order" = "lineId: 3, text:Synchronization service - Uninstalling|lineId: 4, text:Authentication server - Uninstalling|lineId: 5, text:Security Server - Uninstalling|" ] ||
  e2e_fail "removal order: $order"
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "the language mark is left"
e2e_finish
