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

properties='CORRECTLAUNCH=1 REBOOT=ReallySuppress'
setup_total=0; msi_total=0; peak_max=0
for round in $(seq "$rounds"); do
  t0=$(now)
  e2e_setup '/script:C:\dist\answers.rsp'
  t1=$(now)
  [ "$E2E_EXIT" = 0x00000000 ] || echo "round $round: Setup.exe ended with $E2E_EXIT"
  peak=$(cat "$E2E_WORK/exit.txt.peak" 2>/dev/null || echo 0)
  [ "$peak" -gt "$peak_max" ] && peak_max=$peak
  remove_all
  t2=$(now)
  wine msiexec /i 'C:\dist\SecurityServer.msi' /qn $properties </dev/null >/dev/null 2>&1
  wine msiexec /i 'C:\dist\AuthServer.msi' /qn $properties </dev/null >/dev/null 2>&1
  t3=$(now)
  remove_all
  s=$(echo "$t1 - $t0" | bc); m=$(echo "$t3 - $t2" | bc)
  echo "round $round: Setup.exe $s s, msiexec $m s"
  setup_total=$(echo "$setup_total + $s" | bc); msi_total=$(echo "$msi_total + $m" | bc)
done
echo "Setup.exe / msiexec wall time: $(echo "scale=3; $setup_total / $msi_total" | bc) (goal <= 1.10)"
echo "Setup.exe peak working set: $(echo "scale=1; $peak_max / 1048576" | bc) MB (goal < 20 MB)"
e2e_finish
