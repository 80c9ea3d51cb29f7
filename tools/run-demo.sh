#!/usr/bin/env bash
# The demo on the sample distribution: run-demo.sh BUILD_DIR [Setup.exe arguments]
# A fresh prefix set up as Windows Server 2008 R2 SP1 with User Account Control off, a silent
# installation from the sample response file, what it left, then the removal run that an
# uninstaller starts with /PID. Without arguments Setup.exe gets /script:<sample file>.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd); shift
source "$here/../tests/e2e/lib.sh" "$build" demo
started=$(date +%s)
say() { echo "== [$(( $(date +%s) - started )) s] $*"; }

say "preparing a fresh prefix (Server 2008 R2 SP1, UAC off) with the sample distribution"
e2e_prepare
say "distribution C:\\dist:"
ls -l "$E2E_DIST"

args=("$@")
[ ${#args[@]} -eq 0 ] && args=('/script:C:\dist\answers.rsp')
say "running: Setup.exe ${args[*]}"
e2e_setup "${args[@]}"
say "Setup.exe exit code: $E2E_EXIT"

show_state() {
  say "installed products (name, version):"
  e2e_products | sed 's/^/   /'
  say "language mark ProductLocale: $(e2e_locale)"
  local log
  log=$(e2e_setup_log)
  say "trace log: C:\\ProgramData\\Calderis\\Orvane Studio\\Logs\\Setup.log, last lines:"
  [ -f "$log" ] && iconv -f CP1251 -t UTF-8 "$log" | tail -n 8 | sed 's/^/   /'
  # One per package run, named after the package (SB.txt Security Server, SA.txt
  # Authentication Server, ...), appended to by every run.
  say "Windows Installer logs in the same folder, last lines:"
  find "$(e2e_msi_log_folder)" -maxdepth 1 -type f ! -name Setup.log 2>/dev/null | sort | while read -r f; do
    echo "   C:\\ProgramData\\Calderis\\Orvane Studio\\Logs\\$(basename "$f")"
    tail -n 3 "$f" | tr -d '\r' | sed 's/^/      /'
  done
}
show_state

say "removal: Setup.exe /script /PID:<a process that ends in 3 s>, as the product's uninstaller starts it"
OV_PROBE_SLEEP=3000 e2e_run_to "$E2E_WORK/parent.txt" "$(e2e_winpath "$E2E_BIN/ProcessProbe.exe")" &
for _ in $(seq 50); do [ -s "$E2E_WORK/parent.txt.pid" ] && break; sleep 0.1; done
e2e_setup /script "/PID:$(cat "$E2E_WORK/parent.txt.pid")"
wait
say "removal exit code: $E2E_EXIT"
show_state
e2e_stop
say "done; the prefix stays in $E2E_WORK/prefix"
