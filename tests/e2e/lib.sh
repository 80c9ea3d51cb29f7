# End-to-end helpers: Setup.exe run as an administrator runs it, each case on its own copy
# of a prepared Wine prefix with its own wine server. Sourced by the case scripts:
#   source lib.sh BUILD_DIR CASE_NAME
set -uo pipefail
E2E_BUILD=$(cd "$1" && pwd)
E2E_CASE=$2
E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_ROOT=$E2E_BUILD/e2e
E2E_TEMPLATE=$E2E_ROOT/template
E2E_WORK=$E2E_ROOT/cases/$E2E_CASE
E2E_BIN=$E2E_BUILD/bin
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
E2E_FAILED=0

# The Windows name of a path of this machine: the prefix maps Z: to /. Computed here rather
# than asked of winepath, which is itself a wine program and fails now and then under load.
e2e_winpath() { printf 'Z:%s' "${1//\//\\}"; }

e2e_log() { echo "[$E2E_CASE] $*"; }
e2e_fail() { echo "[$E2E_CASE] FAIL: $*"; E2E_FAILED=1; }

# The template: Windows Server 2008 R2 SP1 (a server product type on the prefix's 6.1 SP1)
# with User Account Control off. Made once per build; later cases copy it.
e2e_template() {
  mkdir -p "$E2E_ROOT"
  (
    flock 9
    if [ ! -f "$E2E_TEMPLATE/.ready" ]; then
      rm -rf "$E2E_TEMPLATE"
      e2e_log "making the template prefix $E2E_TEMPLATE"
      WINEPREFIX=$E2E_TEMPLATE wineboot --init </dev/null >/dev/null 2>&1
      WINEPREFIX=$E2E_TEMPLATE wine reg add 'HKLM\System\CurrentControlSet\Control\ProductOptions' \
        /v ProductType /t REG_SZ /d ServerNT /f </dev/null >/dev/null 2>&1
      WINEPREFIX=$E2E_TEMPLATE wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\System' \
        /v EnableLUA /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
      WINEPREFIX=$E2E_TEMPLATE wineserver -w
      touch "$E2E_TEMPLATE/.ready"
    fi
  ) 9>"$E2E_ROOT/.template.lock"
}

# A fresh prefix for the case, a copy of the distribution in it, and a warm wine server.
e2e_prepare() {
  e2e_template
  e2e_stop
  rm -rf "$E2E_WORK"
  mkdir -p "$E2E_WORK"
  cp -a "$E2E_TEMPLATE" "$E2E_WORK/prefix"
  export WINEPREFIX=$E2E_WORK/prefix
  E2E_DIST=$WINEPREFIX/drive_c/dist
  mkdir -p "$E2E_DIST"
  cp -r "$E2E_BUILD/samples/dist/." "$E2E_DIST/"
  # Detached stdio: a server holding ctest's pipe would keep it waiting.
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  trap e2e_stop EXIT
}

e2e_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
}

# Starts the window watch in the background until e2e_unwatch; "close" answers each window.
e2e_watch() {
  E2E_WINDOWS=$E2E_WORK/windows.txt
  rm -f "$E2E_WORK/watch.stop"
  wine "$E2E_BIN/WindowWatch.exe" "$(e2e_winpath "$E2E_WINDOWS")" 600 "$(e2e_winpath "$E2E_WORK/watch.stop")" \
    ${1:-} </dev/null >/dev/null 2>&1 &
  E2E_WATCH_PID=$!
  sleep 1
}

# Ends the watch; one that does not see its stop file within 15 s is ended for it.
e2e_stop_watch() {
  touch "$E2E_WORK/watch.stop"
  local waited=0
  while kill -0 "$E2E_WATCH_PID" 2>/dev/null && [ $waited -lt 15 ]; do sleep 1; waited=$((waited + 1)); done
  if kill -0 "$E2E_WATCH_PID" 2>/dev/null; then
    e2e_log "the window watch did not stop; ended"
    kill "$E2E_WATCH_PID" 2>/dev/null
  fi
  wait "$E2E_WATCH_PID" 2>/dev/null
}

# Ends the watch; fails the case when any window appeared.
e2e_unwatch() {
  e2e_stop_watch
  if [ -s "$E2E_WINDOWS" ]; then
    e2e_fail "windows appeared in a silent run:"
    sed 's/^/    /' "$E2E_WINDOWS"
  fi
}

# Runs a program of the prefix and sets E2E_EXIT to its full 32-bit exit code ("0x%08X");
# wine's own exit status keeps only the low byte. The log checks after it read this run's
# lines only.
e2e_run() {
  e2e_log_mark
  e2e_run_to "$E2E_WORK/exit.txt" "$@"
  E2E_EXIT=$(e2e_exit_of "$E2E_WORK/exit.txt")
}

# The same with the code written to a file of the caller's (for runs in the background);
# the child's process id goes to "<file>.pid".
e2e_run_to() {
  local out=$1; shift
  rm -f "$out" "$out.pid"
  wine "$E2E_BIN/ExitCode.exe" "$(e2e_winpath "$out")" "$@" </dev/null >>"$E2E_WORK/run.out" 2>&1
}

e2e_exit_of() { tr -d '\r\n' <"$1" 2>/dev/null; }

# Setup.exe of the case's distribution, started from that folder.
e2e_setup() {
  e2e_run 'C:\dist\Setup.exe' "$@"
}

e2e_expect_exit() {
  if [ "${E2E_EXIT:-none}" = "$1" ]; then e2e_log "exit code $E2E_EXIT"; else e2e_fail "exit code ${E2E_EXIT:-none}, expected $1"; fi
}

# The run's trace log.
e2e_setup_log() { echo "$WINEPREFIX/drive_c/ProgramData/Calderis/Orvane Studio/Logs/Setup.log"; }

# A line of the run being checked (from the log mark on, see e2e_log_mark below).
e2e_expect_log() {
  # grep reads to the end: an early exit would fail the pipe under pipefail.
  if e2e_log_text | grep -F -- "$1" >/dev/null; then :; else e2e_fail "no log line: $1"; fi
}

# "<name>\t<version>" of every installed product, from Windows Installer's registration.
e2e_products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null |
    tr -d '\r' | awk -F'    ' '/DisplayName/ {name=$NF} /DisplayVersion/ {print name "\t" $NF}'
}

# The language mark, empty when there is none.
e2e_locale() {
  wine reg query 'HKLM\Software\Calderis\Orvane Studio' /v ProductLocale </dev/null 2>/dev/null |
    tr -d '\r' | awk '/ProductLocale/ {print $NF}'
}

e2e_expect_no_products() {
  local products
  products=$(e2e_products | grep -E 'Security Server|Authentication Server|Synchronization|Control Center')
  [ -z "$products" ] || e2e_fail "products installed: $products"
}

# A passed case's folder goes (each holds a copy of the prefix, some 700 MB); a failed one's stays.
e2e_finish() {
  e2e_stop
  if [ "$E2E_FAILED" = 0 ]; then
    rm -rf "$E2E_WORK"
    e2e_log PASS
    exit 0
  fi
  e2e_log "case folder kept: $E2E_WORK"
  exit 1
}

# Setup.log is appended to across runs: the checks read from the mark on, which e2e_run sets
# before each run (call it yourself before a run started in the background).
E2E_LOG_FROM=1
e2e_log_mark() {
  local lines
  lines=$(e2e_log_all | wc -l)
  E2E_LOG_FROM=$((lines + 1))
}

# The whole trace log as UTF-8 text, every run's lines.
e2e_log_all() { iconv -f CP1251 -t UTF-8 "$(e2e_setup_log)" 2>/dev/null; }

# The lines of the run being checked (from the mark on) as UTF-8 text.
e2e_log_text() { e2e_log_all | tail -n "+$E2E_LOG_FROM"; }

e2e_expect_no_log() {
  if e2e_log_text | grep -F -- "$1" >/dev/null; then e2e_fail "log line present: $1"; fi
}

# Line number of the first log line holding the text, empty when there is none.
e2e_log_line_of() { e2e_log_text | grep -n -F -- "$1" | head -n 1 | cut -d: -f1; }

# Fails unless the first line holding $1 comes before the first holding $2.
e2e_expect_log_order() {
  local a b
  a=$(e2e_log_line_of "$1"); b=$(e2e_log_line_of "$2")
  if [ -z "$a" ] || [ -z "$b" ] || [ "$a" -ge "$b" ]; then
    e2e_fail "log lines out of order (or missing): '$1' (line ${a:-none}) before '$2' (line ${b:-none})"
  fi
}

# A registry value's data, empty when the value is missing.
e2e_reg_value() {
  wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }'
}

# The installed version of the product whose name holds the text, empty when none is.
e2e_product_version() { e2e_products | awk -F'\t' -v name="$1" 'index($1, name) { print $2 }'; }

e2e_expect_equal() {
  if [ "$2" = "$3" ]; then :; else e2e_fail "$1: '$2', expected '$3'"; fi
}

# Where the trace and the Windows Installer logs of the packages lie.
e2e_msi_log_folder() { echo "$WINEPREFIX/drive_c/ProgramData/Calderis/Orvane Studio/Logs"; }

# A GUID or version of the sample packages, by its name in ProductGuids.h (without OV_).
e2e_guid() {
  sed -n "s/^#define OV_$1 L\"\\(.*\\)\"\$/\\1/p" "$E2E_HERE/../../OvInstUtils/ProductGuids.h"
}

# Starts ProcessProbe.exe in the background for the milliseconds given, ending with the exit
# code given; sets E2E_PARENT to its process id, E2E_PARENT_JOB to the shell's job.
e2e_start_parent() {
  OV_PROBE_SLEEP=$1 OV_PROBE_EXIT=${2:-0} e2e_run_to "$E2E_WORK/parent.txt" "$(e2e_winpath "$E2E_BIN/ProcessProbe.exe")" &
  E2E_PARENT_JOB=$!
  for _ in $(seq 100); do [ -s "$E2E_WORK/parent.txt.pid" ] && break; sleep 0.1; done
  E2E_PARENT=$(tr -d '\r\n' <"$E2E_WORK/parent.txt.pid" 2>/dev/null)
}

# Setup.exe with its arguments written into the command line as they stand, unquoted, as an
# administrator types them (/msi:"A=1 B=2").
e2e_setup_verbatim() {
  OV_EXITCODE_RAW=1 e2e_setup "$@"
}
