#!/usr/bin/env bash
# Interactive first installation with the Synchronization service chosen in the summary
# window, by real mouse clicks (xdotool): three packages installed, every line finished;
# the installed Security Server asks for a restart, and a click on Cancel during the
# countdown ends the run with 0 and no restart.
# Then the change mode of a second run: the box enables "Modify" only while it differs from
# what is installed; Modify removes the Synchronization service (no restart needed), Cancel
# turns into "Close", and the run ends with 0 after Close.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-install-modify
e2e_prepare

e2e_log "first installation"
ui_start
ui_drive visible:1035 hidden:152 \
  "text:1035:$UI_HEADING=Select components to install:" "text:1035:$UI_ACTION=Install" "enabled:1035:$UI_ACTION=1" \
  "shown:1035:$UI_UNINSTALL=0" "shown:1035:$UI_VERSION=0" "checked:1035:1036=1" "checked:1035:1037=1" \
  "checked:1035:$UI_SYNC_BOX=0" "enabled:1035:$UI_SYNC_BOX=1"
ui_click 1035 "$UI_SYNC_BOX"
ui_drive "checked:1035:$UI_SYNC_BOX=1" "text:1035:$UI_ACTION=Install"
ui_click 1035 "$UI_ACTION"
ui_drive hidden:1035 visible:152 \
  $(ui_lines_icons finished finished finished finished finished) \
  "text:152:1002=Security Server - Installed" "text:152:1046=Authentication server - Installed" \
  "text:152:1047=Synchronization service - Installed" nomsgbox \
  "shown:152:$UI_REBOOT=1" "shown:152:1008=1" "shown:152:$UI_MESSAGE=1"
ui_click 152 "$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_no_restart
ui_products | sed "s/^/[$E2E_CASE]   /"
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server" \
  "Orvane Studio Synchronization Service"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark"

e2e_log "change mode"
ui_start
ui_drive visible:1035 \
  "text:1035:$UI_HEADING=Select components to install or update:" "text:1035:$UI_ACTION=Modify" \
  "enabled:1035:$UI_ACTION=0" "shown:1035:$UI_UNINSTALL=1" "shown:1035:$UI_VERSION=0" \
  "checked:1035:$UI_SYNC_BOX=1" \
  "press:1035:$UI_SYNC_BOX" "checked:1035:$UI_SYNC_BOX=0" "enabled:1035:$UI_ACTION=1" \
  "press:1035:$UI_SYNC_BOX" "checked:1035:$UI_SYNC_BOX=1" "enabled:1035:$UI_ACTION=0" \
  "press:1035:$UI_SYNC_BOX" "checked:1035:$UI_SYNC_BOX=0" "text:1035:$UI_ACTION=Modify" \
  "press:1035:$UI_ACTION" visible:152 "text:152:$UI_CANCEL=Close" "enabled:152:$UI_CANCEL=1" \
  "text:152:1047=Synchronization service - Uninstalled" "icon:152:1049=finished" "shown:152:$UI_REBOOT=0" \
  nomsgbox "press:152:$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"
e2e_finish
