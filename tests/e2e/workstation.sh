#!/usr/bin/env bash
# The server set on a workstation edition of Windows: the analysis refuses it with text 137
# in the trace and no box, exit 1603, nothing installed, no language mark left.
source "$(dirname "$0")/lib.sh" "$1" workstation
e2e_prepare
wine reg add 'HKLM\System\CurrentControlSet\Control\ProductOptions' /v ProductType /t REG_SZ /d WinNT /f \
  </dev/null >/dev/null 2>&1
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000643
e2e_expect_log "Only Windows Server operating system is supported, product could not install on this operating system version."
e2e_expect_log "#2 Installation has ended with code 1603"
e2e_expect_no_log "added to install sequence"
e2e_expect_no_products
[ -z "$(e2e_locale)" ] || e2e_fail "a language mark was left: $(e2e_locale)"
e2e_finish
