#!/usr/bin/env bash
# An update of the installed first builds from a distribution with the newer builds, run
# through Setup's own installer thread and factory with the user's choice (both server
# components, no Synchronization service) made in place of the summary window: both
# packages are updated inside one Windows Installer transaction and one update context,
# exit 0, no box; the Synchronization service stays uninstalled.
source "$(dirname "$0")/lib.sh" "$1" update
e2e_prepare
server_key='HKLM\Software\Calderis\Orvane Studio\Server\Security Server'
v1=$(e2e_guid SAMPLE_VERSION_1); v2=$(e2e_guid SAMPLE_VERSION_2)

e2e_setup '/script:C:\dist\answers.rsp'
e2e_expect_exit 0x00000000
e2e_expect_equal "first build installed" "$(e2e_product_version 'Security Server')" "$v1"

# The newer builds in the distribution, and the run driven from there.
cp "$E2E_BUILD"/samples/v2/*.msi "$E2E_DIST/"
cp "$E2E_BIN/ChoiceRun.exe" "$E2E_DIST/"
e2e_watch close
e2e_run 'C:\dist\ChoiceRun.exe' components
e2e_unwatch
e2e_expect_exit 0x00000000
grep -q 'choice: components, sync unchecked' "$E2E_WORK/run.out" || e2e_fail "the run never asked for the user's choice"

e2e_expect_equal "Security Server version" "$(e2e_product_version 'Security Server')" "$v2"
e2e_expect_equal "Authentication Server version" "$(e2e_product_version 'Authentication Server')" "$v2"
[ -z "$(e2e_product_version 'Synchronization')" ] || e2e_fail "the Synchronization service was installed"
[ "$(e2e_products | grep -c -E 'Security Server|Authentication Server')" = 2 ] || e2e_fail "first builds left beside the new ones"
e2e_expect_equal MorvikServerVersion "$(e2e_reg_value "$server_key" MorvikServerVersion)" "$v2"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark after the update"

e2e_expect_log "Usual mode"
e2e_expect_log "Waiting for user action"
e2e_expect_log "Package 'Security Server' is 'checked', action is 'Update'"
e2e_expect_log "Package 'Authentication server' is 'checked', action is 'Update'"
e2e_expect_log "Package 'Synchronization service' is 'unchecked', action is 'None'"
e2e_expect_no_log "added to install sequence"
# One transaction around both updates, committed after the second, inside the update context.
e2e_expect_log_order "Package 'Security Server' added to update sequence" \
  "Package 'Authentication server' added to update sequence"
e2e_expect_log_order "ovinst::UpdateContextObject::Exec" "CMsiTransaction::Start"
e2e_expect_log_order "CMsiTransaction::Start" "ovinst::SecurityServerObject::Update"
e2e_expect_log_order "ovinst::SecurityServerObject::Update" "ovinst::AuthServerObject::Update"
e2e_expect_log_order "ovinst::AuthServerObject::Update" "CMsiTransaction::Commit"
e2e_expect_no_log "Performing rollback..."
[ "$(e2e_log_text | grep -c 'CMsiTransaction::Start')" = 1 ] || e2e_fail "more than one transaction"
e2e_expect_log "#2 Installation has ended with code 0"
e2e_finish
