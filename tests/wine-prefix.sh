#!/bin/sh
# setup RUN [DLL]: creates the prefix that the runner RUN uses, once (about 10 s), and makes
#   message boxes headless. With DLL (a Windows path), MMDeviceEnumerator is served by that
#   in-process server instead of Wine's own.
# stop RUN: ends the prefix's wineserver and everything it still runs.
set -e
action=$1
run=$2
dll=$3
eval "$(sed -n 's/^export \(WINE[A-Z]*=.*\)$/\1/p' "$run")"
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
case $action in
setup)
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  fi
  if [ -n "$dll" ]; then
    key='HKLM\Software\Classes\CLSID\{BCDE0395-E52F-467C-8E3D-C4579291692E}\InprocServer32'
    wine reg add "$key" /ve /d "$dll" /f >/dev/null 2>&1
    wine reg add "$key" /v ThreadingModel /d Both /f >/dev/null 2>&1
  fi
  wineserver -w
  ;;
stop)
  wineserver -k 2>/dev/null || true
  ;;
esac
