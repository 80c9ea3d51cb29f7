#!/usr/bin/env bash
# Installs what is missing, builds, and runs Setup.exe under Wine on the sample
# distribution (build/samples/dist). Arguments go to Setup.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/tools/bootstrap.sh"
BUILD_DIR=$build bash "$root/tools/build.sh"
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/tools/run-demo.sh" "$build" "$@"
