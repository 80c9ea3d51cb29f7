#!/usr/bin/env bash
# Wine prefix of a build: wine-prefix.sh init|start|stop BUILD_DIR
# init creates the prefix once; start warms a persistent wine server, so that each test
# process starts in a fraction of a second; stop ends the server and its processes.
set -euo pipefail
export WINEPREFIX=$2/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
case $1 in
  init)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine prefix: creating $WINEPREFIX"
      wineboot --init </dev/null >/dev/null 2>&1
      wineserver -w
    fi ;;
  start)
    # Detached stdio: a server holding the caller's pipe would keep ctest waiting forever.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true ;;
esac
