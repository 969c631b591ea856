#!/usr/bin/env bash
# Static analysis of the program's sources (src/): clang-tidy with the checks
# chosen in .clang-tidy, then cppcheck, both reading the compile commands of
# a build folder (default: build). Any finding fails the script.
#
#   ./scripts/static-checks.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
jobs=$(nproc 2>/dev/null || echo 2)
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" >/dev/null
fi

echo "static-checks: clang-tidy over src/"
# Only the program's own files: the tests, benchmarks and fuzz targets are
# not held to these checks.
# Its count of the warnings it dropped (those of other headers) is noise.
quiet_tidy() {
  clang-tidy -p "$build" --quiet "$@" 2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2)
}
export -f quiet_tidy
export build
# The Win32 halves of the platform layer need the Windows headers: the
# Windows build (scripts/windows-build.sh) compiles them with all warnings.
find src -name '*.cpp' ! -name '*_win32.cpp' -print0 | sort -z |
  xargs -0 -n 4 -P "$jobs" bash -c 'quiet_tidy "$@"' quiet_tidy ||
  { echo "static-checks: clang-tidy found problems (above)"; exit 1; }

echo "static-checks: cppcheck over src/"
# useStlAlgorithm is left out: it asks for std::accumulate or std::transform
# in place of every short loop, which reads no better.
cppcheck --project="$build/compile_commands.json" --file-filter='src/*' \
  --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
  --suppress=missingIncludeSystem --suppress=useStlAlgorithm \
  --error-exitcode=1 --quiet -j "$jobs" \
  --template='{file}:{line}: {severity}: {message} [{id}]' ||
  { echo "static-checks: cppcheck found problems (above)"; exit 1; }

echo "static-checks: clean"
