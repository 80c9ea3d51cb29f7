#!/usr/bin/env bash
# The Authentication Server package fails for real (the wizard hands FORCEFAIL=1 on to its
# command line): the Security Server installed before it is rolled back, exit 1603, nothing
# left installed, no language mark, no box in the silent run.
source "$(dirname "$0")/lib.sh" "$1" failing-auth-server
e2e_prepare
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp' '/msi:OVASEXTRA=FORCEFAIL=1'
e2e_unwatch
e2e_expect_exit 0x00000643
e2e_expect_log "Install package 'AuthServer.msi' FAILED with error: 1603"
e2e_expect_log "Message: Authentication server install error."
e2e_expect_log "Performing rollback of Security Server install"
e2e_expect_log_order "Install package 'AuthServer.msi' FAILED" "Performing rollback of Security Server install"
e2e_expect_log "#2 Installation has ended with code 1603"
e2e_expect_no_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark was left: $(e2e_locale)"
e2e_expect_equal MorvikServerVersion \
  "$(e2e_reg_value 'HKLM\Software\Calderis\Orvane Studio\Server\Security Server' MorvikServerVersion)" ""
e2e_finish
