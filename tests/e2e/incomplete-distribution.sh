#!/usr/bin/env bash
# Some server packages and no console package: "Distribution kit is corrupted", 0x80004005,
# no box in the silent run, nothing installed; a later run keeps the log of this one.
source "$(dirname "$0")/lib.sh" "$1" incomplete-distribution
e2e_prepare
rm -f "$E2E_DIST/AuthServer.msi" "$E2E_DIST/FederationSyncService.msi" "$E2E_DIST/ControlCenter.msi"
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x80004005
e2e_expect_log "Distribution kit is corrupted"
e2e_expect_log "#2 Installation has ended with code -2147467259"
e2e_expect_no_products

# A second run adds to the log: both runs' final lines stay.
e2e_setup /script
runs=$(e2e_log_all | grep -c 'Installation has ended with code')
[ "$runs" = 2 ] || e2e_fail "the log holds $runs runs' final lines after two runs"
e2e_finish
