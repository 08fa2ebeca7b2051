#!/bin/sh
# Builds the tests and runs them all under Wine: as 64-bit Windows code always, and as 32-bit
# code too where this machine can execute 32-bit programs. HUSHVANE_TEST_ARCH=x86_64 or i686
# runs one architecture alone. Each architecture has its own tree, build/tests-<arch>.
set -e
cd "$(dirname "$0")/.."
# The image check examines the shipped executables, so the release build comes first. Built a
# second time elsewhere, it must come out the same, byte for byte.
sh scripts/build-release.sh
status=0
unreproduced=""
if ! /usr/bin/python3 tests/check_reproducible.py; then
  status=1
  unreproduced="; FAILED: a second release build differed (see the start of this run)"
fi

# 32-bit Wine needs a kernel that runs 32-bit programs; starting the i386 loader tells. Python
# starts it, as a shell would take a refused binary for a script and run that instead.
i386_refusal=$(/usr/bin/python3 -c '
import subprocess
try:
    subprocess.run(["/lib/ld-linux.so.2", "--version"], check=True, capture_output=True)
except (OSError, subprocess.CalledProcessError) as refusal:
    print(refusal)
')
case ${HUSHVANE_TEST_ARCH:-} in
"")
  if [ -z "$i386_refusal" ]; then
    archs="x86_64 i686"
  else
    archs="x86_64"
    skipped="32-bit skipped: this machine cannot run 32-bit programs ($i386_refusal)"
  fi
  ;;
x86_64)
  archs="x86_64"
  skipped="32-bit skipped: HUSHVANE_TEST_ARCH=x86_64"
  ;;
i686)
  if [ -n "$i386_refusal" ]; then
    echo "HUSHVANE_TEST_ARCH=i686, but this machine cannot run 32-bit programs ($i386_refusal)" >&2
    exit 2
  fi
  archs="i686"
  skipped="64-bit skipped: HUSHVANE_TEST_ARCH=i686"
  ;;
*)
  echo "HUSHVANE_TEST_ARCH must be x86_64, i686 or unset" >&2
  exit 2
  ;;
esac

# Leave no Wine server or PulseAudio behind, even when a test failed half way.
stop_everything() {
  for arch in x86_64 i686; do
    tree=build/tests-$arch
    [ -f "$tree/wineprefix-run.sh" ] || continue
    sh tests/wine-prefix.sh stop "$tree"/wineprefix*-run.sh
    sh tests/pulse.sh stop "$PWD/$tree/pulse-runtime"
  done
}
trap stop_everything EXIT
trap "exit 130" INT TERM

ran=""
for arch in $archs; do
  tree=build/tests-$arch
  start=$(date +%s)
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DHUSHVANE_TESTS=ON \
    -DHUSHVANE_RELEASE_DIR="$PWD/build/release" >/dev/null
  cmake --build "$tree" -j "$(nproc)"
  echo "Running the tests as $arch Windows code"
  ctest --test-dir "$tree" --output-on-failure -j "$(nproc)" || status=1
  ran="$ran${ran:+, }$arch ($(($(date +%s) - start)) s)"
done
echo "Tests ran as: $ran${skipped:+; $skipped}$unreproduced"
exit $status
