#!/usr/bin/env bash
# /? and /help show the options in a box and end with 0; a silent run shows nothing. Neither
# touches the machine: no log, no trace configuration, no language mark.
source "$(dirname "$0")/lib.sh" "$1" help
e2e_prepare
e2e_watch close
e2e_setup /?
e2e_stop_watch
e2e_expect_exit 0x00000000
grep -q 'Orvane Studio install' "$E2E_WINDOWS" || e2e_fail "no usage box for /?"

e2e_watch close
e2e_setup -help
e2e_stop_watch
e2e_expect_exit 0x00000000
grep -q 'Orvane Studio install' "$E2E_WINDOWS" || e2e_fail "no usage box for -help"

e2e_watch
e2e_setup /script /?
e2e_unwatch
e2e_expect_exit 0x00000000

[ -e "$(e2e_setup_log)" ] && e2e_fail "the help runs wrote a log"
wine reg query 'HKLM\Software\Calderis' </dev/null >/dev/null 2>&1 && e2e_fail "the help runs wrote to the registry"
e2e_finish
