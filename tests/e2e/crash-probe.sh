#!/usr/bin/env bash
# An access violation on the entry thread and one on the installer thread end the run with
# the maker's code 0xE6060005 and leave a dump in the temporary folder.
source "$(dirname "$0")/lib.sh" "$1" crash-probe
e2e_prepare
for where in entry thread; do
  find "$WINEPREFIX/drive_c/users" -name 'CrashProbe-*.dmp' -delete 2>/dev/null
  e2e_watch
  e2e_run "$(e2e_winpath "$E2E_BIN/CrashProbe.exe")" "$where"
  e2e_unwatch
  e2e_log "$where:"
  e2e_expect_exit 0xE6060005
  dumps=$(find "$WINEPREFIX/drive_c/users" -name 'CrashProbe-*.dmp' -size +0 | wc -l)
  [ "$dumps" -ge 1 ] || e2e_fail "$where: no dump file"
  e2e_expect_log "MiniDumpFile: C:\\"
done
e2e_finish
