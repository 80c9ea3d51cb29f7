#!/usr/bin/env bash
# Configures (once) and builds the cross build in BUILD_DIR (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
ninja -C "$build" "$@" | grep -v '^ninja: no work to do' || true
exit "${PIPESTATUS[0]}"
