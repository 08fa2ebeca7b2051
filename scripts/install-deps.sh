#!/bin/sh
# Installs what building and testing need on Debian 12, as root. Quiet when all is there.
# Both Wines: the 64-bit one runs on every machine, the 32-bit one where 32-bit programs run.
set -e
packages="cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools googletest
  wine wine32:i386 wine64 locales pulseaudio pulseaudio-utils python3-pefile tmux"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
if [ -n "$missing" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

# Wine takes its ANSI code page (936) from this locale and needs it to exist to use UTF-8 file names.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  localedef -i zh_CN -c -f UTF-8 zh_CN.UTF-8
fi
