#!/bin/sh
# setup BASE PULSE FAKE DLL: creates the prefix of runner BASE once (wineboot, 10 to 15 s) with
#   headless message boxes, then gives runners PULSE and FAKE clones of it. In FAKE's prefix,
#   MMDeviceEnumerator is served by the in-process server DLL (a Windows path).
# stop RUN...: ends each runner's wineserver and everything it still runs.
set -e

# Takes the WINE* settings of runner $1, without running anything.
use_runner() {
  eval "$(sed -n 's/^export \(WINE[A-Z]*=.*\)$/\1/p' "$1")"
  export WINEPREFIX WINEARCH WINELOADER WINEDEBUG WINEDLLOVERRIDES
}

create() {
  use_runner "$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINELOADER" wineboot -i >/dev/null 2>&1
    "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  fi
  # The registry is on disk only once the server has ended; clones copy it from there.
  wineserver -w
}

# Gives runner $2 a clone of runner $1's prefix. Wine's own files under drive_c/windows, which
# nothing here writes, are shared by hard links: instant, and up to a gigabyte saved. Every
# other file gets a copy of its own, since the server rewrites the registry files in place and
# the tests write their own folders.
clone() {
  use_runner "$1"
  base=$WINEPREFIX
  use_runner "$2"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    cp -al "$base" "$WINEPREFIX"
    (cd "$base" && find . -type f ! -path './drive_c/windows/*' \
      -exec cp -p --parents --remove-destination -t "$WINEPREFIX" {} +)
  fi
}

serve_fake_endpoint() {
  key='HKLM\Software\Classes\CLSID\{BCDE0395-E52F-467C-8E3D-C4579291692E}\InprocServer32'
  "$WINELOADER" reg add "$key" /ve /d "$1" /f >/dev/null 2>&1
  "$WINELOADER" reg add "$key" /v ThreadingModel /d Both /f >/dev/null 2>&1
}

unset DISPLAY WAYLAND_DISPLAY
action=$1
shift
case $action in
setup)
  create "$1"
  clone "$1" "$2"
  clone "$1" "$3"
  serve_fake_endpoint "$4"
  ;;
stop)
  for run in "$@"; do
    use_runner "$run"
    wineserver -k 2>/dev/null || true
  done
  ;;
esac
