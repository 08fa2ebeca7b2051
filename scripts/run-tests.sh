#!/bin/sh
# Builds the tests into build/tests and runs them all under Wine.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build/tests -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DHUSHVANE_TESTS=ON >/dev/null
cmake --build build/tests -j "$(nproc)"
status=0
ctest --test-dir build/tests --output-on-failure || status=$?
# Leave no Wine server behind, even when a test failed half way.
WINEPREFIX="$PWD/build/tests/wineprefix" wineserver -k 2>/dev/null || true
exit $status
