#!/usr/bin/env bash
# Update mode: the first builds of the Security Server and the Authentication Server are
# installed and the distribution carries newer ones. The summary window shows the versions,
# its action button reads "Update" while the Synchronization service box agrees with what is
# installed and "Modify" while it does not; Update replaces both packages inside the
# Windows Installer transaction and leaves the Synchronization service alone; the updated
# Security Server asks for a restart, which Cancel declines.
source "$(dirname "$0")/ui-lib.sh" "$1" interactive-update
e2e_prepare
ui_install_silently
cp "$E2E_BUILD"/samples/v2/*.msi "$E2E_DIST/"

ui_start
ui_drive visible:1035 \
  "text:1035:$UI_HEADING=Select components to install or update:" "text:1035:$UI_ACTION=Update" \
  "enabled:1035:$UI_ACTION=1" "shown:1035:$UI_UNINSTALL=1" "shown:1035:$UI_VERSION=1" \
  "text:1035:$UI_VERSION=\\r\\n\\r\\nThe program will be updated from version 12.1.100.0 to version 12.1.200.0." \
  "checked:1035:$UI_SYNC_BOX=0" \
  "press:1035:$UI_SYNC_BOX" "checked:1035:$UI_SYNC_BOX=1" "text:1035:$UI_ACTION=Modify" "enabled:1035:$UI_ACTION=1" \
  "press:1035:$UI_SYNC_BOX" "checked:1035:$UI_SYNC_BOX=0" "text:1035:$UI_ACTION=Update" \
  "press:1035:$UI_ACTION" hidden:1035 visible:152 \
  "text:152:1002=Security Server - Updated" "text:152:1046=Authentication server - Updated" \
  $(ui_lines_icons finished finished finished finished pending) \
  nomsgbox $(ui_cancel_countdown)
ui_wait_exit
e2e_expect_exit 0x00000000
ui_expect_no_restart
products=$(ui_products)
echo "$products" | sed "s/^/[$E2E_CASE]   /"
[ "$products" = "$(printf 'Orvane Studio Authentication Server\t12.1.200.0\nOrvane Studio Security Server\t12.1.200.0')" ] ||
  e2e_fail "not both updated to 12.1.200.0"
e2e_expect_log "MsiTransactionObject created"
e2e_expect_log "CMsiTransaction::Commit"
e2e_finish
