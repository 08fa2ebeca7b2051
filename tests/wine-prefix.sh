#!/bin/sh
# setup DLL BASE CLONE...: creates the prefix of runner BASE once (wineboot, 10 to 15 s) with
#   headless message boxes, gives each runner CLONE a clone of it, and serves MMDeviceEnumerator
#   from the in-process server DLL (a Windows path) in the clones whose runner's name says
#   "fake". Then keeps a server running in every prefix and starts Windows' own processes there
#   once, so that no test program waits for them: a server that ends when its last program does
#   starts them all again with the next one.
# stop RUN...: ends each runner's server and everything it still runs.
set -e

# Takes the WINE* settings of runner $1, without running anything.
use_runner() {
  eval "$(sed -n 's/^export \(WINE[A-Z]*=.*\)$/\1/p' "$1")"
  export WINEPREFIX WINEARCH WINELOADER WINEDEBUG WINEDLLOVERRIDES
}

create() {
  use_runner "$1"
  [ -f "$WINEPREFIX/system.reg" ] && return
  "$WINELOADER" wineboot -i >/dev/null 2>&1
  "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The registry is on disk only once the server has ended; clones copy it from there. Ended
  # at once, it still writes the registry, without the seconds it would linger.
  wineserver -k
}

# Gives runner $2 a clone of runner $1's prefix. Wine's own files under drive_c/windows, which
# nothing here writes, are shared by hard links: instant, and up to a gigabyte saved. Every
# other file gets a copy of its own, since the server rewrites the registry files in place and
# the tests write their own folders.
clone() {
  use_runner "$1"
  original=$WINEPREFIX
  use_runner "$2"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    cp -al "$original" "$WINEPREFIX"
    (cd "$original" && find . -type f ! -path './drive_c/windows/*' \
      -exec cp -p --parents --remove-destination -t "$WINEPREFIX" {} +)
  fi
}

# A server of its own that stays, and Windows' own processes started once: already done if
# the server runs.
keep_running() {
  use_runner "$1"
  wineserver -k0 2>/dev/null && return
  wineserver -p 2>/dev/null || true
  case $1 in
  *-fake-*)
    key='HKLM\Software\Classes\CLSID\{BCDE0395-E52F-467C-8E3D-C4579291692E}\InprocServer32'
    "$WINELOADER" reg add "$key" /ve /d "$2" /f >/dev/null 2>&1
    "$WINELOADER" reg add "$key" /v ThreadingModel /d Both /f >/dev/null 2>&1
    ;;
  *)
    "$WINELOADER" reg query 'HKCU\Software\Wine\Drivers' >/dev/null 2>&1
    ;;
  esac
}

unset DISPLAY WAYLAND_DISPLAY
# Wine reads its arguments, the server's path among them, in the locale's character set.
export LC_ALL=C.UTF-8
action=$1
shift
case $action in
setup)
  dll=$1
  base=$2
  shift
  create "$base"
  for run in "$@"; do
    [ "$run" = "$base" ] || clone "$base" "$run"
  done
  for run in "$@"; do
    keep_running "$run" "$dll" &
  done
  wait
  ;;
stop)
  for run in "$@"; do
    (
      use_runner "$run"
      wineserver -k 2>/dev/null || true
    ) &
  done
  wait
  ;;
esac
