#!/usr/bin/env bash
# The demo on the sample distribution: run-demo.sh BUILD_DIR [Setup.exe arguments]
# A fresh prefix set up as Windows Server 2008 R2 SP1 with User Account Control off, a silent
# installation from the sample response file, what it left, then the steps a deployment tool
# runs after it: the silent update to the newer build (/update) and the silent removal
# (/uninstall), both with /restartexitcode:3010. Without arguments Setup.exe gets
# /script:<sample file> on the first run.
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

say "update: the newer build's packages copied into C:\\dist, then Setup.exe /script:C:\\dist\\answers.rsp /update /restartexitcode:3010"
cp "$build"/samples/v2/*.msi "$E2E_DIST/"
e2e_setup '/script:C:\dist\answers.rsp' /update /restartexitcode:3010
say "update exit code: $E2E_EXIT (0x00000BC2 = 3010: updated, the server must restart)"
say "Setup.log: $(e2e_log_text | grep -o 'Update requested: .*' | head -n 1 | tr -d '\r')"
show_state

say "removal: Setup.exe /script /uninstall /restartexitcode:3010"
e2e_setup /script /uninstall /restartexitcode:3010
say "removal exit code: $E2E_EXIT"
show_state
e2e_stop
say "done; the prefix stays in $E2E_WORK/prefix"
