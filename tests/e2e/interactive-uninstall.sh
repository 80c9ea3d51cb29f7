#!/usr/bin/env bash
# Setup.exe /uninstall /restartexitcode:3010 with windows: no summary window, the status
# window shows the removal at once (no parent process to wait for), the installed server
# packages and the language mark go; the removed Security Server asks for a restart, Cancel
# during the countdown leaves it undone, and the run ends with the code of /restartexitcode.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-uninstall
e2e_prepare
ui_install_silently
ui_expect_products "Orvane Studio Security Server" "Orvane Studio Authentication Server"

ui_start /uninstall /restartexitcode:3010
ui_drive visible:152 hidden:1035 "text:152:1046=Authentication server - Uninstalled" \
  "text:152:1047=Security Server - Uninstalled" nomsgbox $(ui_cancel_countdown)
ui_wait_exit
e2e_expect_exit 0x00000BC2
ui_expect_no_restart
e2e_expect_log "Usual mode"
e2e_expect_no_log "Waiting for user action"
e2e_expect_no_log "Waiting for parent process close"
e2e_expect_log "A restart is needed and was not carried out"
e2e_expect_log "A restart is needed: ending with 3010 (/restartexitcode)"
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "the language mark is left"
e2e_finish
