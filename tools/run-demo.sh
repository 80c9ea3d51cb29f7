#!/usr/bin/env bash
# Runs Setup.exe of the sample distribution and shows what it did: run-demo.sh BUILD_DIR [args]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1; shift
dist=$build/samples/dist
"$here/wine-prefix.sh" init "$build" || exit 1
"$here/wine-prefix.sh" start "$build"
echo "== distribution: $dist"
ls -l "$dist"
echo "== running: Setup.exe $*"
( cd "$dist" && "$here/wine-run.sh" "$build/wineprefix" ./Setup.exe "$@" )
rc=$?
echo "== Setup.exe exit code: $rc"
"$here/wine-prefix.sh" stop "$build"
exit $rc
