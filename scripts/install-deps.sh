#!/bin/sh
# Installs what building and testing need on Debian 12 or 13, as root. Quiet when all is there.
# "build" installs only what the release build runs: a compiler and CMake, without Wine.
# Both Wines for the tests: the 64-bit one runs on every machine, the 32-bit one where 32-bit
# programs run.
set -e
# The test command checks once for the release builds it starts.
[ -z "${HUSHVANE_DEPS_CHECKED:-}" ] || exit 0
cd "$(dirname "$0")/.."
# binutils brings windres; make runs the release build, Ninja the tests' builds.
build_packages="cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686"
test_packages="ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 locales pulseaudio
  pulseaudio-utils python3-pefile tmux"

missing_of() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || printf ' %s' "$package"
  done
}

install() {
  echo "Installing:$*"
  # A mirror half way through a sync fails one index or another for a while; what was fetched
  # is usually enough.
  apt-get update -qq || apt-get update -qq || echo "apt-get update failed; going on with the package lists there are"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

if [ "${1:-}" = build ]; then
  missing=$(missing_of $build_packages)
  [ -z "$missing" ] || install $missing
  exit 0
fi
missing=$(missing_of $build_packages $test_packages)
[ -z "$missing" ] || install $missing
# The 32-bit Wine only where the kernel runs 32-bit programs. Its i386 libraries must match the
# amd64 ones version for version, which an index that could not be fetched prevents: then only
# the 64-bit tests run, and the test run says why.
if /usr/bin/python3 scripts/runs-32-bit.py >/dev/null && [ -n "$(missing_of wine32:i386)" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  install wine32:i386 || echo "wine32:i386 could not be installed: the tests can run as 64-bit code only" >&2
fi

# Wine takes its ANSI code page (936) from this locale and needs it to exist to use UTF-8 file names.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  localedef -i zh_CN -c -f UTF-8 zh_CN.UTF-8
fi
