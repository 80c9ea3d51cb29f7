#!/usr/bin/env bash
# Another program creates the database region before the setup, open to everyone, to read the
# database administrator's password from it: the setup does not use that region, says so,
# installs nothing and ends with 0x800700B7; the password never reaches the region.
source "$(dirname "$0")/lib.sh" "$1" region-squatter
e2e_prepare
squat="$E2E_WORK/squat"
mkdir -p "$squat"
wine "$E2E_BIN/RegionSquatter.exe" DB "$(e2e_winpath "$squat")" </dev/null >/dev/null 2>&1 &
squatter=$!
for _ in $(seq 300); do [ -e "$squat/ready" ] && break; sleep 0.1; done
[ -e "$squat/ready" ] || e2e_fail "the squatter did not create its region"

e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
touch "$squat/stop"
wait "$squatter"
e2e_expect_exit 0x800700B7
e2e_expect_log "Shared region {A856BC66-53D6-4123-A12E-04AE644DAB3E} exists already, made by another program: not used"
e2e_expect_log "Another program has already created the shared memory {A856BC66-53D6-4123-A12E-04AE644DAB3E}"
e2e_expect_log "#2 Installation has ended with code -2147024713"
e2e_expect_no_products
[ -f "$squat/region.txt" ] || e2e_fail "the squatter did not read its region"
for secret in $(grep -E '^DataBaseAdminPassword=' "$E2E_DIST/answers.rsp" | cut -d= -f2- | tr -d '\r'); do
  grep -qF -- "$secret" "$squat/region.txt" && e2e_fail "the region received: $secret"
done
[ -s "$squat/region.txt" ] && e2e_fail "the region received text: $(head -c 200 "$squat/region.txt")"
e2e_finish
