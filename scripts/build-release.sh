#!/bin/sh
# Builds the release executables into build/release and names what it built: size and SHA-256
# of each, to compare with a download or with another build of the same sources. It installs
# what building needs, and nothing that only the tests need.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
for exe in build/release/Hushvane.exe build/release/HushvaneSessions.exe; do
  echo "$exe: $(stat -c %s "$exe") bytes, SHA-256 $(sha256sum "$exe" | cut -d ' ' -f 1)"
done
