#!/usr/bin/env bash
# Runs every test of a build under Wine: run-tests.sh BUILD_DIR [ctest args...]
# Expects a display (the test command runs it under Xvfb).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1; shift
"$here/wine-prefix.sh" init "$build" || exit 1
"$here/wine-prefix.sh" start "$build"
ctest --test-dir "$build" --output-on-failure "$@"
rc=$?
"$here/wine-prefix.sh" stop "$build"
exit $rc
