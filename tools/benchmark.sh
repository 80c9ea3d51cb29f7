#!/usr/bin/env bash
# Cost of the setup over plain Windows Installer: benchmark.sh BUILD_DIR [rounds]
# In one prefix (Server 2008 R2 SP1, UAC off), alternately: the silent installation by
# Setup.exe (Security Server and Authentication Server), and the same two packages by
# msiexec /i ... /qn with the properties Setup.exe gives them; everything is removed after
# each round. Prints the wall times, their ratio (goal <= 1.10) and Setup.exe's peak
# working set (goal < 20 MB).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
rounds=${2:-3}
source "$here/../tests/e2e/lib.sh" "$build" benchmark
e2e_prepare

now() { date +%s.%N; }
remove_all() {
  for code in $(e2e_products_codes); do wine msiexec /x "$code" /qn </dev/null >/dev/null 2>&1; done
}
# Product codes of the two server packages, from Windows Installer's registration.
e2e_products_codes() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' </dev/null 2>/dev/null |
    tr -d '\r' | grep -o '{[0-9A-F-]*}' | while read -r code; do
      wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code" /v DisplayName \
        </dev/null 2>/dev/null | grep -qE 'Security Server|Authentication Server' && echo "$code"
    done
}

# The msiexec side runs from a batch file, so that the Windows command line reaches msiexec as
# written (wine would requote arguments that hold blanks and quotes).
write_batch() { printf '%s\r\n' '@echo off' "$@" >"$E2E_DIST/$batch_name"; }
batch_name=bench-msiexec.cmd

# A first run outside the figures: it installs the C/C++ runtime, which later runs find
# present, and gives the command lines Setup.exe passes. Passwords are masked in the log:
# they come from the response file again.
e2e_setup '/script:C:\dist\answers.rsp'
[ "$E2E_EXIT" = 0x00000000 ] || { e2e_fail "the first Setup.exe run ended with $E2E_EXIT"; e2e_finish; }
secret() { grep -E "^$1=" "$E2E_DIST/answers.rsp" | cut -d= -f2- | tr -d '\r'; }
ss_properties=$(e2e_log_text | tr -d '\r' | sed -n "s/.*Package 'Security Server' msi command line: \"\(.*\)\"\$/\1/p" | head -n 1 |
  sed "s/OVDBAPASSWORD_TEMP=\"\*\*\*\"/OVDBAPASSWORD_TEMP=\"$(secret DataBaseAdminPassword)\"/;
       s/OVDBUPASSWORD_TEMP=\"\*\*\*\"/OVDBUPASSWORD_TEMP=\"$(secret DataBaseUserPassword)\"/")
# What the wizard hands to the Authentication Server (its command line is never logged).
as_properties='OVSECURITYSERVER="ss.calderis.local" REBOOT=ReallySuppress'
[ -n "$ss_properties" ] || { e2e_fail "no Security Server command line in the log"; e2e_finish; }
# Setup.exe logs each package verbosely into its own file; msiexec does the same.
logs='C:\ProgramData\Calderis\Orvane Studio\Logs'
write_batch \
  "start /wait msiexec /i C:\\dist\\SecurityServer.msi /qn /L*V \"$logs\\bench-SB.txt\" $ss_properties" \
  "start /wait msiexec /i C:\\dist\\AuthServer.msi /qn /L*V \"$logs\\bench-SA.txt\" $as_properties"
remove_all

setup_total=0; msi_total=0; peak_max=0
for round in $(seq "$rounds"); do
  t0=$(now)
  e2e_setup '/script:C:\dist\answers.rsp'
  t1=$(now)
  [ "$E2E_EXIT" = 0x00000000 ] || e2e_fail "round $round: Setup.exe ended with $E2E_EXIT"
  peak=$(cat "$E2E_WORK/exit.txt.peak" 2>/dev/null || echo 0)
  [ "$peak" -gt "$peak_max" ] && peak_max=$peak
  [ "$(e2e_products_codes | wc -l)" = 2 ] || e2e_fail "round $round: Setup.exe did not install both packages"
  remove_all
  t2=$(now)
  e2e_run 'C:\windows\system32\cmd.exe' /c "C:\\dist\\$batch_name"
  t3=$(now)
  [ "$(e2e_products_codes | wc -l)" = 2 ] || e2e_fail "round $round: msiexec did not install both packages"
  remove_all
  s=$(echo "$t1 - $t0" | bc); m=$(echo "$t3 - $t2" | bc)
  echo "round $round: Setup.exe $s s, msiexec $m s, Setup.exe peak working set $peak bytes"
  setup_total=$(echo "$setup_total + $s" | bc); msi_total=$(echo "$msi_total + $m" | bc)
done
# For comparison: plain msiexec's own peak working set for the Security Server alone (Wine's
# Windows Installer runs the installation inside the calling process).
e2e_run 'C:\windows\system32\msiexec.exe' /i 'C:\dist\SecurityServer.msi' /qn
msi_peak=$(cat "$E2E_WORK/exit.txt.peak" 2>/dev/null || echo 0)
remove_all
echo "msiexec peak working set (Security Server alone): $(echo "scale=1; $msi_peak / 1048576" | bc) MB"
echo "Setup.exe / msiexec wall time: $(echo "scale=3; $setup_total / $msi_total" | bc) (goal <= 1.10)"
echo "Setup.exe peak working set: $(echo "scale=1; $peak_max / 1048576" | bc) MB (goal < 20 MB)"
e2e_finish
