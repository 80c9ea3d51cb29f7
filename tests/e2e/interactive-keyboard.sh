#!/usr/bin/env bash
# The windows by keyboard alone, with key strokes posted to the focused control as the
# keyboard delivers them (through the dialog manager). Esc in the summary window ends the
# run with 0 and installs nothing. Then an installation: the focus starts on Install, Tab
# visits only what is visible and enabled, Space toggles the box, Enter installs, the
# countdown has the focus on Reboot and Esc ends it without a restart. Then the change
# mode: nothing changed, so Enter does nothing, and Esc ends the run.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-keyboard
e2e_prepare

e2e_log "Esc in the summary window"
ui_start
ui_drive visible:1035 "focus:1035=$UI_ACTION" "key:1035:esc"
ui_wait_exit 60
e2e_expect_exit 0x00000000
ui_expect_products
e2e_expect_log "#1 Installation has ended with code 0"

e2e_log "installation by keyboard"
ui_start
ui_drive visible:1035 "focus:1035=$UI_ACTION" \
  "key:1035:tab" "focus:1035=$UI_CANCEL" "key:1035:tab" "focus:1035=$UI_SYNC_BOX" \
  "key:1035:space" "checked:1035:$UI_SYNC_BOX=1" "key:1035:space" "checked:1035:$UI_SYNC_BOX=0" \
  "key:1035:tab" "focus:1035=$UI_ACTION" "key:1035:enter" hidden:1035 visible:152 \
  $(ui_lines_icons finished finished finished finished -) \
  "shown:152:$UI_REBOOT=1" "focus:152=$UI_REBOOT" "key:152:esc"
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_no_restart
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"

e2e_log "change mode: Enter with nothing changed"
ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Modify" "enabled:1035:$UI_ACTION=0" "focus:1035=$UI_SYNC_BOX" \
  "key:1035:enter" sleep:500 visible:1035 nomsgbox "key:1035:esc"
ui_wait_exit 60
e2e_expect_exit 0x00000000
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"
e2e_finish
