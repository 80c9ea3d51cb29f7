#!/usr/bin/env bash
# Silent installation on Windows Server 2008 R2: the Security Server and the Authentication
# Server installed, the Synchronization service not (a silent run never installs it),
# exit 0, no window, no password (from the response file or the command line) in any log or
# left-over file; a second run finds the Security Server installed and changes nothing.
source "$(dirname "$0")/lib.sh" "$1" silent-install
e2e_prepare
server_key='HKLM\Software\Calderis\Orvane Studio\Server\Security Server'
auth_key='HKLM\Software\Calderis\Orvane Studio\Server\Authentication Server'

# Two more passwords on the command line, one in lower case: shown as *** wherever the command
# line or the "msi" option is logged.
msi_secrets="Msi-Secret-One Msi-Secret-Two"
e2e_watch
e2e_setup_verbatim '/script:C:\dist\answers.rsp' '/msi:"ovdbapassword_temp=Msi-Secret-One OVDBUPASSWORD_TEMP=Msi-Secret-Two"'
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_expect_log '/msi:"ovdbapassword_temp=*** OVDBUPASSWORD_TEMP=***"'
e2e_expect_log 'ovdbapassword_temp=*** OVDBUPASSWORD_TEMP=***'
e2e_products | sort > "$E2E_WORK/products.txt"
cat "$E2E_WORK/products.txt"
e2e_expect_equal "Security Server version" "$(e2e_product_version 'Security Server')" 12.1.100.0
e2e_expect_equal "Authentication Server version" "$(e2e_product_version 'Authentication Server')" 12.1.100.0
grep -q 'Synchronization' "$E2E_WORK/products.txt" && e2e_fail "the Synchronization service was installed"
e2e_expect_equal MorvikServerVersion "$(e2e_reg_value "$server_key" MorvikServerVersion)" 12.1.100.0
# The wizard's hand-over reached the Authentication Server's command line.
[ -n "$(e2e_reg_value "$auth_key" HandedOverSecurityServer)" ] || e2e_fail "no HandedOverSecurityServer"
locale=$(e2e_locale)
[ -n "$locale" ] || e2e_fail "no language mark"
e2e_expect_log "Silent mode"
e2e_expect_log "Silent install called"
e2e_expect_log "Package 'Security Server' added to install sequence"
e2e_expect_log "Package 'Authentication server' added to install sequence"
e2e_expect_no_log "added to update sequence"
e2e_expect_log "#2 Installation has ended with code 0"
for log in SB.txt SA.txt; do
  [ -s "$(e2e_msi_log_folder)/$log" ] || e2e_fail "no Windows Installer log $log"
done

# Run again: nothing to do, nothing changed.
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000000
runs=$(e2e_log_all | grep -c '#2 Installation has ended with code 0')
[ "$runs" = 2 ] || e2e_fail "$runs final lines with code 0 after two runs"
e2e_expect_log "Security Server is already installed, do nothing"
[ "$(e2e_log_text | grep -c 'added to install sequence')" = 0 ] || e2e_fail "the second run added packages"
e2e_products | sort | diff "$E2E_WORK/products.txt" - >/dev/null || e2e_fail "the second run changed the installed products"
e2e_expect_equal "language mark after the second run" "$(e2e_locale)" "$locale"
e2e_expect_equal "MorvikServerVersion after the second run" "$(e2e_reg_value "$server_key" MorvikServerVersion)" 12.1.100.0

# The response file's two passwords and the two given with /msi: reach neither the trace, nor the
# packages' logs, nor any file that the run or the packages left behind.
for secret in $(grep -E '^DataBase(Admin|User)Password=' "$E2E_DIST/answers.rsp" | cut -d= -f2- | tr -d '\r') $msi_secrets; do
  found=$(grep -rlaF -- "$secret" "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/windows/temp" \
    "$WINEPREFIX"/drive_c/users/*/Temp "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp 2>/dev/null | sort -u)
  [ -z "$found" ] || e2e_fail "a password lies in: $found"
done
e2e_finish
