#!/usr/bin/env bash
# Silent installation on Windows Server 2008 R2: the Security Server and the Authentication
# Server installed, the Synchronization service not (a silent run never installs it),
# exit 0, no window, no password in any log; a second run changes nothing.
source "$(dirname "$0")/lib.sh" "$1" silent-install
e2e_prepare
e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000000
e2e_products | sort > "$E2E_WORK/products.txt"
cat "$E2E_WORK/products.txt"
grep -q 'Security Server' "$E2E_WORK/products.txt" || e2e_fail "no Security Server"
grep -q 'Authentication Server' "$E2E_WORK/products.txt" || e2e_fail "no Authentication Server"
grep -q 'Synchronization' "$E2E_WORK/products.txt" && e2e_fail "the Synchronization service was installed"
[ -n "$(e2e_locale)" ] || e2e_fail "no language mark"
e2e_finish
