# Helpers of the interactive end-to-end cases: Setup.exe run with its windows under the
# display of the caller (xvfb-run), driven from outside by UiDriver.exe. Sourced by the
# case scripts:   source ui-lib.sh BUILD_DIR CASE_NAME
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$1" "$2"

# Control ids of the status window (152) and the summary window (1035).
UI_CANCEL=2
UI_ICONS=(1003 1004 1005 1048 1049)   # icons of lines 1 to 5
UI_MESSAGE=1009
UI_REBOOT=1014
UI_CONSOLE_CHOICE=1017
UI_ACTION=1044
UI_UNINSTALL=1045
UI_SYNC_BOX=1038
UI_HEADING=1033
UI_VERSION=1064

ui_require_display() {
  if [ -z "${DISPLAY:-}" ]; then
    e2e_fail "no display: run under xvfb-run"
    e2e_finish
  fi
}

# Starts Setup.exe of the case's distribution in the background with the given arguments.
# Its full exit code will land in $UI_EXIT_FILE, its process id scopes the driver.
ui_start() {
  ui_require_display
  UI_EXIT_FILE=$E2E_WORK/ui-exit.txt
  # Removed here, not only in the background, so that the wait below never sees an old one.
  rm -f "$UI_EXIT_FILE" "$UI_EXIT_FILE.pid"
  e2e_log_mark
  e2e_run_to "$UI_EXIT_FILE" 'C:\dist\Setup.exe' "$@" &
  UI_RUN=$!
  local i
  for i in $(seq 300); do
    [ -s "$UI_EXIT_FILE.pid" ] && break
    sleep 0.1
  done
  UI_PID=$(e2e_exit_of "$UI_EXIT_FILE.pid")
  [ -n "$UI_PID" ] || { e2e_fail "Setup.exe did not start"; e2e_finish; }
  e2e_log "Setup.exe $* started (process $((UI_PID)))"
}

# Runs driver commands against the run's windows (each waits up to UI_TIMEOUT ms for its
# condition). The first failure keeps a screenshot and ends the case: the run would only
# wait for a button that nobody presses.
ui_drive() {
  wine "$E2E_BIN/UiDriver.exe" "/timeout:${UI_TIMEOUT:-60000}" "/pid:$((UI_PID))" "$@" </dev/null 2>/dev/null |
    tr -d '\r' >"$E2E_WORK/driver.last"
  local status=${PIPESTATUS[0]}
  cat "$E2E_WORK/driver.last" >>"$E2E_WORK/driver.txt"
  sed "s/^/[$E2E_CASE]   /" "$E2E_WORK/driver.last"
  if [ "$status" != 0 ]; then
    import -window root "$E2E_WORK/failure.png" 2>/dev/null || true
    e2e_fail "the windows are not as expected (screenshot: $E2E_WORK/failure.png)"
    e2e_finish
  fi
}

# Waits for Setup.exe to end (at most $1 seconds, default 120) and sets E2E_EXIT.
ui_wait_exit() {
  local limit=${1:-120} i
  for i in $(seq $((limit * 10))); do
    kill -0 "$UI_RUN" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$UI_RUN" 2>/dev/null; then
    E2E_EXIT=none
    e2e_fail "Setup.exe still runs after $limit s"
    e2e_finish
  fi
  wait "$UI_RUN" 2>/dev/null
  E2E_EXIT=$(e2e_exit_of "$UI_EXIT_FILE")
}

# Driver commands: every line finished, or the given state for each line ("-" skips one).
ui_lines_icons() {
  local commands=() i=0 state
  for state in "$@"; do
    [ "$state" = - ] || commands+=("icon:152:${UI_ICONS[$i]}=$state")
    i=$((i + 1))
  done
  printf '%s\n' "${commands[@]}"
}

# A silent installation beforehand, to give an interactive run something installed.
ui_install_silently() {
  e2e_setup '/script:C:\dist\answers.rsp'
  [ "$E2E_EXIT" = 0x00000000 ] || { e2e_fail "the silent installation beforehand ended with $E2E_EXIT"; e2e_finish; }
}

# "<name>\t<version>" lines of the product's installed packages, sorted.
ui_products() {
  e2e_products | grep -E 'Security Server|Authentication Server|Synchronization|Control Center' | sort
}

ui_expect_products() {
  local actual expected
  actual=$(ui_products | cut -f1 | tr '\n' ',' | sed 's/,$//')
  expected=$(printf '%s\n' "$@" | sort | tr '\n' ',' | sed 's/,$//')
  [ "$actual" = "$expected" ] || e2e_fail "installed: '$actual', expected '$expected'"
}

# Driver commands for a run that ends with the restart countdown (the Security Server was
# installed, updated or removed): the Reboot button, the bar and the text are shown, and
# Cancel is pressed long before the countdown could end. Reboot is never pressed here: the
# restart request of Setup.exe would reach the system.
ui_cancel_countdown() {
  printf '%s\n' "shown:152:$UI_REBOOT=1" "enabled:152:$UI_REBOOT=1" "shown:152:1008=1" "shown:152:$UI_MESSAGE=1" \
    "enabled:152:$UI_CANCEL=1" "press:152:$UI_CANCEL"
}

# After such a run: the countdown was cancelled and no restart was arranged.
ui_expect_no_restart() {
  e2e_expect_log "Restart countdown not needed / cancelled "
  if e2e_log_text | grep -F "Setting restart on exit" >/dev/null; then
    e2e_fail "a restart was arranged"
  fi
}

# A real click of the mouse (xdotool under the display) at the centre of a control, once it
# is visible and enabled: it goes through hit-testing and the mouse capture as a user's
# click does, where the driver's press: posts the button's message past both.
ui_click() {
  local where
  ui_drive "where:$1:$2"
  where=$(sed -n 's/^ok where:[0-9]*:[0-9]* -> \(-\{0,1\}[0-9]* -\{0,1\}[0-9]*\).*/\1/p' "$E2E_WORK/driver.last")
  [ -n "$where" ] || { e2e_fail "no screen point for control $2 of dialog $1"; e2e_finish; }
  # shellcheck disable=SC2086
  xdotool mousemove $where click 1
  e2e_log "clicked control $2 of dialog $1 at $where"
}
