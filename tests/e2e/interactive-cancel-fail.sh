#!/usr/bin/env bash
# A failed step (the C/C++ runtime installer ending with 1625) marks its line failed, turns
# Cancel into "Close", reports the failure in one box, and the run ends with that step's code
# (0x80070659) after Close, with nothing installed. A failed package (the Authentication
# Server, made to fail through the Security Server's wizard) keeps 1603 even when Close is
# pressed while the installed Security Server is still being rolled back. Cancel in the
# summary window ends the run with 0 and installs nothing either.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-cancel-fail
e2e_prepare

e2e_log "a failed step"
echo 1625 >"$E2E_DIST/prerequisites/vcredist_x64.exitcode"
ui_start
# One box: the step's text 130 (the installer thread does not show the error again).
ui_drive visible:152 msgbox:ok:152 "icon:152:1004=failed" "text:152:$UI_CANCEL=Close" "enabled:152:$UI_CANCEL=1" \
  sleep:1000 nomsgbox hidden:1035 "icon:152:1003=finished" "icon:152:1005=pending" \
  "press:152:$UI_CANCEL"
ui_wait_exit 60
e2e_expect_exit 0x80070659
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark is left"

e2e_log "Close while a failed installation is rolled back"
rm -f "$E2E_DIST/prerequisites/vcredist_x64.exitcode"
ui_start /msi:OVASEXTRA=FORCEFAIL=1
ui_drive visible:1035 "press:1035:$UI_ACTION" visible:152 msgbox:ok:152 "icon:152:1048=failed" \
  "text:152:$UI_CANCEL=Close" "press:152:$UI_CANCEL"
ui_wait_exit
e2e_expect_exit 0x00000643
e2e_expect_log "Security Server - Rolling back"
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark is left"

e2e_log "Cancel in the summary window"
ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Install" "press:1035:$UI_CANCEL"
ui_wait_exit 60
e2e_expect_exit 0x00000000
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark is left"
e2e_expect_log "#1 Installation has ended with code 0"
e2e_finish
