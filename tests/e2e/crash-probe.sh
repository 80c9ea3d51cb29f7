#!/usr/bin/env bash
# A read of address zero in a function without a frame, on the entry thread, on the installer
# thread and on a thread without a catcher, ends the run with the maker's code 0xE6060005,
# exactly one dump in the temporary folder and the error's trace line in this run's log.
# Only the entry pass writes the program's default full dump (most of a minute under Wine);
# the others ask for a small one.
source "$(dirname "$0")/lib.sh" "$1" crash-probe
e2e_prepare
for pass in "entry" "thread small" "other-thread small"; do
  where=${pass%% *}
  find "$WINEPREFIX/drive_c/users" -name 'CrashProbe-*.dmp' -delete 2>/dev/null
  e2e_watch
  # shellcheck disable=SC2086
  e2e_run "$(e2e_winpath "$E2E_BIN/CrashProbe.exe")" $pass
  e2e_unwatch
  e2e_log "$where:"
  e2e_expect_exit 0xE6060005
  dumps=$(find "$WINEPREFIX/drive_c/users" -name 'CrashProbe-*.dmp' -size +0 -printf '%s\n')
  e2e_log "dump sizes: $(echo $dumps)"
  [ "$(echo "$dumps" | grep -c .)" -eq 1 ] || e2e_fail "$where: $(echo "$dumps" | grep -c .) dump files, expected one"
  # The default dump holds the process's memory: hundreds of MB against some 500 KB.
  if [ "$pass" = entry ] && [ "${dumps:-0}" -lt 20000000 ] 2>/dev/null; then e2e_fail "entry: not a full dump"; fi
  e2e_expect_log "MiniDumpFile: C:\\"
  e2e_expect_log "referenced memory at 0000000000000000. The memory could not be read."
  if [ "$where" = other-thread ]; then
    e2e_expect_log "Unhandled exception on thread "
  else
    e2e_expect_no_log "Unhandled exception on thread "
  fi
done
e2e_finish
