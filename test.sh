#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine. Extra arguments go to
# ctest (for example: ./test.sh -R ResString).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/tools/bootstrap.sh"
BUILD_DIR=$build bash "$root/tools/build.sh"
# Windows appear in some tests: give them a virtual display.
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/tools/run-tests.sh" "$build" "$@"
