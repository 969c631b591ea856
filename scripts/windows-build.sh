#!/usr/bin/env bash
# Cross-builds lexbuild.exe and lexdump.exe for 64-bit Windows with mingw-w64,
# statically linked, into build-win/ (or the folder given), and packs them
# with the README and the sample into lexbuild-<version>-win64.zip there.
#
#   ./scripts/windows-build.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-win}
shift $(( $# > 0 ? 1 : 0 ))
jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DLEXBUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$jobs"
echo "windows-build: $(ls -l "$build"/lexbuild.exe "$build"/lexdump.exe | awk '{print $9 ": " $5 " bytes"}' | paste -sd' ')"
