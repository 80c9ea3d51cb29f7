#!/usr/bin/env bash
# Runs every test of a build under Wine: run-tests.sh BUILD_DIR [ctest args...]
# Expects a display (the test command runs it under Xvfb).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Absolute: wine resolves a relative WINEPREFIX against its own working folder.
build=$(cd "$1" && pwd) || { echo "run-tests: no build folder $1" >&2; exit 1; }
shift
"$here/wine-prefix.sh" init "$build" || exit 1
"$here/wine-prefix.sh" start "$build"
# A test that fails is run once more: now and then a wine process ends at once, before the
# program's first line (seen once in a clean run, 0.03 s and no output). Both tries show in
# the output, so a real fault still fails the run and a flaky one is visible.
ctest --test-dir "$build" --output-on-failure --repeat until-pass:2 "$@"
rc=$?
"$here/wine-prefix.sh" stop "$build"
exit $rc
