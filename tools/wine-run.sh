#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The build passes its own prefix; tests never touch the user's ~/.wine.
set -e
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: the program needs neither and there is no network to fetch them. Overrides
# given by the caller come first.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml="
exec wine "$@"
