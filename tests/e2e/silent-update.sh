#!/usr/bin/env bash
# The update a deployment tool runs: Setup.exe /script /update. On a machine without the
# product it installs as a plain silent run does; with the installed builds current it does
# nothing and ends with 0, also with /restartexitcode; with the newer builds in the
# distribution it updates every installed server package (the Synchronization service too,
# installed here beside the others) in one transaction inside the update context, and the
# needed restart ends the run with the code of /restartexitcode. No window at any point.
source "$(dirname "$0")/lib.sh" "$1" silent-update
e2e_prepare
server_key='HKLM\Software\Calderis\Orvane Studio\Server\Security Server'
v1=$(e2e_guid SAMPLE_VERSION_1); v2=$(e2e_guid SAMPLE_VERSION_2)

e2e_log "nothing installed"
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp' /update /restartexitcode:3010
e2e_unwatch
e2e_expect_exit 0x00000BC2
e2e_expect_log "Update requested: no server package is installed, installing"
e2e_expect_log "Package 'Security Server' added to install sequence"
e2e_expect_log "A restart is needed: ending with 3010 (/restartexitcode)"
e2e_expect_log "#2 Installation has ended with code 3010"
e2e_expect_equal "Security Server version" "$(e2e_product_version 'Security Server')" "$v1"
e2e_expect_equal "Authentication Server version" "$(e2e_product_version 'Authentication Server')" "$v1"

# The Synchronization service beside them (a silent installation never chooses it).
wine msiexec /i 'C:\dist\FederationSyncService.msi' /qn </dev/null >/dev/null 2>&1
e2e_expect_equal "Synchronization service version" "$(e2e_product_version 'Synchronization')" "$v1"

e2e_log "installed and current"
e2e_watch
e2e_setup /script /update /restartexitcode:3010
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_expect_log "Update requested: the installed packages are current, nothing to do"
e2e_expect_no_log "added to update sequence"
e2e_expect_no_log "added to install sequence"
e2e_expect_no_log "A restart is needed"

e2e_log "newer builds in the distribution"
cp "$E2E_BUILD"/samples/v2/*.msi "$E2E_DIST/"
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp' /update /restartexitcode:3010
e2e_unwatch
e2e_expect_exit 0x00000BC2
e2e_expect_log "Update requested: a newer build is in the distribution, updating the installed packages"
e2e_expect_equal "Security Server version" "$(e2e_product_version 'Security Server')" "$v2"
e2e_expect_equal "Authentication Server version" "$(e2e_product_version 'Authentication Server')" "$v2"
e2e_expect_equal "Synchronization service version" "$(e2e_product_version 'Synchronization')" "$v2"
[ "$(e2e_products | grep -c -E 'Security Server|Authentication Server|Synchronization')" = 3 ] ||
  e2e_fail "first builds left beside the new ones"
e2e_expect_equal MorvikServerVersion "$(e2e_reg_value "$server_key" MorvikServerVersion)" "$v2"
e2e_expect_no_log "added to install sequence"
# One transaction around the three updates, inside the update context.
e2e_expect_log_order "ovinst::UpdateContextObject::Exec" "CMsiTransaction::Start"
e2e_expect_log_order "CMsiTransaction::Start" "ovinst::SecurityServerObject::Update"
e2e_expect_log_order "ovinst::SecurityServerObject::Update" "ovinst::AuthServerObject::Update"
e2e_expect_log_order "ovinst::AuthServerObject::Update" "ovinst::FdSyncObject::Update"
e2e_expect_log_order "ovinst::FdSyncObject::Update" "CMsiTransaction::Commit"
[ "$(e2e_log_text | grep -c 'CMsiTransaction::Start')" = 1 ] || e2e_fail "more than one transaction"
e2e_expect_no_log "Performing rollback..."
e2e_expect_log "A restart is needed: ending with 3010 (/restartexitcode)"
e2e_expect_no_log "Setting restart on exit"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark after the update"
e2e_finish
