#!/usr/bin/env bash
# Start-up time of an interactive run: from starting Setup.exe to its status window being
# visible, under Wine (goal < 300 ms).   startup-benchmark.sh BUILD_DIR [rounds]
# Runs on a copy of the end-to-end template prefix (Server 2008 R2 SP1, UAC off) with a warm
# wine server; needs a display (it starts one with xvfb-run when there is none). UiDriver.exe
# starts Setup.exe itself, so its own start-up is not counted; each round then cancels in the
# summary window, so nothing is installed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build=$(cd "$1" && pwd)
rounds=${2:-5}
source "$here/../tests/e2e/lib.sh" "$build" startup-benchmark
e2e_prepare

times=()
for round in $(seq "$rounds"); do
  report=$(wine "$E2E_BIN/UiDriver.exe" /timeout:30000 'start:C:\dist\Setup.exe' visible:152 visible:1035 \
    press:1035:2 ended:0 </dev/null 2>/dev/null | tr -d '\r')
  if [ "${PIPESTATUS[0]}" != 0 ]; then
    echo "$report"
    e2e_fail "round $round did not end as expected"
    continue
  fi
  ms=$(echo "$report" | sed -n 's/^ok visible:152 .*(\([0-9]*\) ms after start)$/\1/p')
  echo "round $round: status window visible after $ms ms"
  times+=("$ms")
done
if [ ${#times[@]} -gt 0 ]; then
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  echo "start-up to visible status window: median $(echo "$sorted" | sed -n "$(((${#times[@]} + 1) / 2))p") ms," \
    "min $(echo "$sorted" | head -1) ms, max $(echo "$sorted" | tail -1) ms (goal < 300 ms)"
fi
e2e_finish
