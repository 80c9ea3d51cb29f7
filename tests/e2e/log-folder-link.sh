#!/usr/bin/env bash
# The log folder planted, before the run, as a link to another user's folder (any user may
# create folders under ProgramData): nothing is written into that folder and its permissions
# stay; the run logs into a real folder of its own, says so, and installs as usual (exit 0).
source "$(dirname "$0")/lib.sh" "$1" log-folder-link
e2e_prepare
orvane="$WINEPREFIX/drive_c/ProgramData/Calderis/Orvane Studio"
victim="$E2E_WORK/victim"
mkdir -p "$orvane" "$victim"
echo "another user's file" >"$victim/theirs.txt"
chmod 750 "$victim"
chmod 640 "$victim/theirs.txt"
ln -s "$victim" "$orvane/Logs"
state() { (cd "$victim" && ls -A && stat -c '%n %a %s' . ./* && md5sum ./*); }
before=$(state)

e2e_watch
e2e_setup '/script:C:\dist\answers.rsp'
e2e_unwatch
e2e_expect_exit 0x00000000
[ "$(state)" = "$before" ] || e2e_fail "the link's target changed: $(diff <(echo "$before") <(state))"
e2e_expect_equal "Security Server version" "$(e2e_product_version 'Security Server')" 12.1.100.0

# The run's logs: in a real folder (not a link) under the product's folder.
log=""
for folder in "$orvane"/Logs*; do
  [ -d "$folder" ] && [ ! -L "$folder" ] && [ -f "$folder/Setup.log" ] && log="$folder/Setup.log"
done
if [ -z "$log" ]; then
  e2e_fail "no Setup.log in a real folder: $(ls -la "$orvane")"
else
  e2e_log "the run logged into ${log#$orvane/}"
  text=$(iconv -f CP1251 -t UTF-8 "$log")
  grep -qF '#2 Installation has ended with code 0' <<<"$text" || e2e_fail "no final line in $log"
  grep -qF "Orvane Studio\\Logs is a link" <<<"$text" || e2e_fail "the log does not say that the folder was a link"
  for msi in SB.txt SA.txt; do
    [ -s "$(dirname "$log")/$msi" ] || e2e_fail "no Windows Installer log $msi beside Setup.log"
  done
fi
e2e_finish
