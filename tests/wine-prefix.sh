#!/bin/sh
# setup: creates the build tree's Wine prefix once (about 10 s) and makes message boxes headless.
# stop: ends the prefix's wineserver and everything it still runs.
set -e
action=$1
run=$2
eval "$(sed -n 's/^export \(WINE[A-Z]*=.*\)$/\1/p' "$run")"
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
case $action in
setup)
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -w
  fi
  ;;
stop)
  wineserver -k 2>/dev/null || true
  ;;
esac
