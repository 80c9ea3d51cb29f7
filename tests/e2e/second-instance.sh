#!/usr/bin/env bash
# A second Setup.exe while one runs ends at once and leaves the first one alone: a silent
# one with 1618 (ERROR_INSTALL_ALREADY_RUNNING, for the deployment tool to retry), an
# interactive one with its warning box and 0. The first is a removal run waiting for its
# parent process, holding the instance mutex.
source "$(dirname "$0")/lib.sh" "$1" second-instance
e2e_prepare

# The lone run: the same removal run with nobody disturbing it, on a machine where nothing
# is installed, ends with 0.
e2e_setup /script /PID:99999999
lone=$E2E_EXIT
e2e_expect_exit 0x00000000

# The checks below read the lines of the first run and of the second instance.
e2e_log_mark
from=$E2E_LOG_FROM
OV_PROBE_SLEEP=15000 e2e_run_to "$E2E_WORK/parent.txt" "$(e2e_winpath "$E2E_BIN/ProcessProbe.exe")" &
parent_job=$!
for _ in $(seq 50); do [ -s "$E2E_WORK/parent.txt.pid" ] && break; sleep 0.1; done
parent=$(cat "$E2E_WORK/parent.txt.pid")
e2e_setup_bg() { e2e_run_to "$E2E_WORK/first.txt" 'C:\dist\Setup.exe' /script "/PID:$parent"; }
e2e_setup_bg &
first_job=$!
sleep 2

e2e_watch
start=$(date +%s)
e2e_setup /script
e2e_expect_exit 0x00000652
[ $(( $(date +%s) - start )) -le 5 ] || e2e_fail "the second instance took $(( $(date +%s) - start )) s"
e2e_unwatch
e2e_expect_log "Silent run: ending with 1618 (ERROR_INSTALL_ALREADY_RUNNING), nothing done"
e2e_expect_log "#2 Installation has ended with code 1618"

# An interactive second start: the box (answered by the watch), and 0.
e2e_watch close
e2e_setup
e2e_stop_watch
e2e_expect_exit 0x00000000
grep -q 'Orvane Studio install' "$E2E_WINDOWS" || e2e_fail "no warning box for the interactive second start"
e2e_expect_log "Installation aborted with code 0"
[ -e "$E2E_WORK/first.txt" ] && e2e_fail "the first run ended while its parent still ran"

wait "$parent_job" "$first_job"
E2E_LOG_FROM=$from
first=$(e2e_exit_of "$E2E_WORK/first.txt")
[ "$first" = "$lone" ] || e2e_fail "the first run ended with $first, a lone run with $lone"
e2e_expect_equal "runs that ended with 0" "$(e2e_log_text | grep -c '#2 Installation has ended with code 0')" 2
e2e_expect_log "Waiting for parent process close: $parent"
e2e_finish
