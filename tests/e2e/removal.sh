#!/usr/bin/env bash
# The removal that the product's uninstaller starts: Setup.exe /script /PID:<its id> after a
# silent installation waits until that process has ended, then removes the installed server
# packages in the reverse order of installation, exit 0, no box; nothing of the product and
# no language mark is left.
source "$(dirname "$0")/lib.sh" "$1" removal
e2e_prepare
e2e_setup '/script:C:\dist\answers.rsp'
e2e_expect_exit 0x00000000
[ -n "$(e2e_product_version 'Authentication Server')" ] || e2e_fail "the installation before the removal failed"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark after the installation"

# The uninstaller: still running when the removal starts, ending with a code of its own.
e2e_start_parent 4000 7
e2e_watch
e2e_setup /script "/PID:$E2E_PARENT"
e2e_unwatch
wait "$E2E_PARENT_JOB"
e2e_expect_exit 0x00000000
e2e_expect_log "Waiting for parent process close: $E2E_PARENT"
# Its exit code can only be known once it has ended.
e2e_expect_log 'Process exit code: "7"'
e2e_expect_log_order 'Process exit code: "7"' "Remove from control panel is called"
e2e_expect_log_order "Package 'Authentication server' added to delete sequence" \
  "Package 'Security Server' added to delete sequence"
e2e_expect_log_order "Running msiexec.exe /x $(e2e_guid SAMPLE_PRODUCT_AUTH_SERVER_1)" \
  "Running msiexec.exe /x $(e2e_guid SAMPLE_PRODUCT_SECURITY_SERVER_1)"
e2e_expect_no_log "Package 'Synchronization service' added to delete sequence"
e2e_expect_log "#2 Installation has ended with code 0"
e2e_expect_no_products
[ -z "$(e2e_locale)" ] || e2e_fail "the language mark is left: $(e2e_locale)"
e2e_expect_equal MorvikServerVersion \
  "$(e2e_reg_value 'HKLM\Software\Calderis\Orvane Studio\Server\Security Server' MorvikServerVersion)" ""
e2e_finish
