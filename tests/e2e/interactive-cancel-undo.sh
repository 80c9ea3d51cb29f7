#!/usr/bin/env bash
# Cancel pressed while the Authentication Server installs (a slow build of its package: a
# custom action pauses six seconds): the run stops before its next step and removes what it
# installed, newest first: the Authentication Server with its own removal, then the Security
# Server. Nothing of the product is left, no language mark, exit 0. While the package
# installs, the status window (the program's own message loop) answers within 250 ms.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-cancel-undo
e2e_prepare
cp "$E2E_BUILD/samples/slow/AuthServer.msi" "$E2E_DIST/AuthServer.msi"

ui_start
ui_drive visible:1035 "text:1035:$UI_ACTION=Install" "press:1035:$UI_ACTION" visible:152 \
  "icon:152:1005=finished" "icon:152:1048=running" probe:152:50:40:250 "icon:152:1048=running" \
  "press:152:$UI_CANCEL"
ui_wait_exit 120
e2e_expect_exit 0x00000000
e2e_expect_log "Performing rollback of 'AuthServer.msi' install"
e2e_expect_log "Running msiexec.exe /x $(e2e_guid SAMPLE_PRODUCT_AUTH_SERVER_1) /qn /quiet REMOVEALLDATA=1"
e2e_expect_log_order "Performing rollback of 'AuthServer.msi' install" "Performing rollback of Security Server install"
ui_expect_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark is left"
e2e_finish
