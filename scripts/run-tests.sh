#!/bin/sh
# Builds the tests and runs them all under Wine: as 64-bit Windows code always, and as 32-bit
# code too where this machine can execute 32-bit programs. HUSHVANE_TEST_ARCH=x86_64 or i686
# runs one architecture alone. Each architecture has its own tree, build/tests-<arch>. The last
# line says how long each part took.
set -e
cd "$(dirname "$0")/.."
now() {
  date +%s
}
sh scripts/install-deps.sh
export HUSHVANE_DEPS_CHECKED=1

# 32-bit Wine needs a kernel that runs 32-bit programs, and the 32-bit Wine itself.
i386_refusal=$(/usr/bin/python3 scripts/runs-32-bit.py) || true
if [ -z "$i386_refusal" ] && [ ! -x /usr/lib/wine/wine ]; then
  i386_refusal="wine32:i386 is not installed"
fi
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

# Leave no Wine server, PulseAudio or build behind, even when a test failed half way.
background=""
stop_everything() {
  for job in $background; do
    pkill -P "$job" 2>/dev/null || true
  done
  for arch in x86_64 i686; do
    tree=build/tests-$arch
    [ -f "$tree/wineprefix-run.sh" ] || continue
    sh tests/wine-prefix.sh stop "$tree"/wineprefix*-run.sh
    sh tests/pulse.sh stop "$tree/wineprefix-pulse-run.sh"
  done
}
trap stop_everything EXIT
trap "exit 130" INT TERM

# First, side by side: the release build, which the image check examines; a second release
# build elsewhere, which must come out the same, byte for byte; and the Wine prefixes of every
# architecture's tests, which take a while to make and nothing to build.
for arch in $archs; do
  tree=build/tests-$arch
  configuring=$(now)
  # Ninja, which starts fewer processes than make's makefiles calling makefiles; a tree that
  # make built is made again.
  if [ -f "$tree/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$tree/CMakeCache.txt"; then
    rm -rf "$tree"
  fi
  cmake -G Ninja -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DHUSHVANE_TESTS=ON -DHUSHVANE_RELEASE_DIR="$PWD/build/release" >/dev/null
  eval "configured_$arch=$(($(now) - configuring))"
  ctest --test-dir "$tree" -R '^wine_setup$' --output-on-failure >"$tree/wine-setup.log" 2>&1 &
  background="$background $!"
done
started=$(now)
/usr/bin/python3 tests/check_reproducible.py build >build/reproduction.log 2>&1 &
reproduction=$!
background="$background $reproduction"
sh scripts/build-release.sh
released=$(now)
status=0
reproduced="reproduced"
if ! wait "$reproduction" || ! /usr/bin/python3 tests/check_reproducible.py compare \
  >>build/reproduction.log 2>&1; then
  status=1
  reproduced="FAILED: a second release build differed (see above)"
fi
cat build/reproduction.log
reproduced="$reproduced beside it in $(($(now) - started)) s"
wait
background=""

ran=""
for arch in $archs; do
  tree=build/tests-$arch
  start=$(now)
  cmake --build "$tree" -j "$(nproc)"
  built=$(now)
  echo "Running the tests as $arch Windows code"
  # The tests mostly wait on Wine and on the clock, so more of them run than there are cores.
  ctest --test-dir "$tree" --output-on-failure -j "$(($(nproc) * 4))" || status=1
  eval "configured=\$configured_$arch"
  ran="$ran${ran:+, }$arch (configure and build $((built - start + configured)) s, tests $(($(now) - built)) s)"
done
echo "Release build $((released - started)) s, $reproduced; tests ran as:" \
  "$ran${skipped:+; $skipped}"
exit $status
