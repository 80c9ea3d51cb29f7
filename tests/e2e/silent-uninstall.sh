#!/usr/bin/env bash
# The removal a deployment tool runs: Setup.exe /script /uninstall, without a parent process
# to wait for. It removes the installed server packages in the reverse order of
# installation, after the ten seconds an interactive run could still cancel in, takes the
# language mark away, opens no window, and the restart the Security Server's removal needs
# ends it with the code of /restartexitcode. On a machine where nothing is installed the
# same command line changes nothing, analyses nothing and ends with 0.
source "$(dirname "$0")/lib.sh" "$1" silent-uninstall
e2e_prepare
e2e_setup '/script:C:\dist\answers.rsp'
e2e_expect_exit 0x00000000
[ -n "$(e2e_product_version 'Authentication Server')" ] || e2e_fail "the installation before the removal failed"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark after the installation"

e2e_watch
e2e_setup /script /uninstall /restartexitcode:3010
e2e_unwatch
e2e_expect_exit 0x00000BC2
e2e_expect_log "/uninstall passed via command line, mode is Uninstall"
e2e_expect_no_log "Waiting for parent process close"
e2e_expect_log "Give the opportunity to cancel the deletion for 10 seconds"
e2e_expect_no_log "AnalizeObject"
e2e_expect_log_order "Remove from control panel is called" "Package 'Authentication server' added to delete sequence"
e2e_expect_log_order "Package 'Authentication server' added to delete sequence" \
  "Package 'Security Server' added to delete sequence"
e2e_expect_log_order "Running msiexec.exe /x $(e2e_guid SAMPLE_PRODUCT_AUTH_SERVER_1)" \
  "Running msiexec.exe /x $(e2e_guid SAMPLE_PRODUCT_SECURITY_SERVER_1)"
e2e_expect_log "A restart is needed: ending with 3010 (/restartexitcode)"
e2e_expect_no_products
[ -z "$(e2e_locale)" ] || e2e_fail "the language mark is left: $(e2e_locale)"

e2e_log "nothing installed"
e2e_watch
e2e_setup /script /uninstall /restartexitcode:3010
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_expect_no_log "added to delete sequence"
# Nothing to remove: no wait, and no analysis of the machine either.
e2e_expect_no_log "Give the opportunity to cancel the deletion"
e2e_expect_no_log "AnalizeObject"
e2e_expect_no_log "A restart is needed"
e2e_expect_no_products
e2e_finish
