#!/usr/bin/env bash
# Setup.log and SB.txt planted as hard links to files of another user before the run: those
# files stay as they were; the run logs into fresh files of its own (exit 0).
source "$(dirname "$0")/lib.sh" "$1" log-file-links
e2e_prepare
logs=$(e2e_msi_log_folder)
mkdir -p "$logs"
echo "someone's notes" >"$E2E_WORK/notes.txt"
echo "someone's data" >"$E2E_WORK/data.txt"
ln "$E2E_WORK/notes.txt" "$logs/Setup.log"
ln "$E2E_WORK/data.txt" "$logs/SB.txt"
sums=$(md5sum "$E2E_WORK/notes.txt" "$E2E_WORK/data.txt")

e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000000
[ "$(md5sum "$E2E_WORK/notes.txt" "$E2E_WORK/data.txt")" = "$sums" ] || e2e_fail "a linked file was written to"
for file in Setup.log SB.txt; do
  [ "$(stat -c %h "$logs/$file")" = 1 ] || e2e_fail "$file still has $(stat -c %h "$logs/$file") links"
done
e2e_expect_log "#2 Installation has ended with code 0"
e2e_expect_log "Orvane Studio\\Logs\\SB.txt has more than one link: moved aside to"
grep -q 'Return value' "$logs/SB.txt" || e2e_fail "SB.txt holds no Windows Installer log"
# The trace's own file was moved aside before its first line; the note says so in the new one.
grep -aqF 'Setup.log has more than one link: moved aside to' "$logs/Setup.log" ||
  e2e_fail "no note about Setup.log"
e2e_finish
