#!/usr/bin/env bash
# Builds lexbuild, lexdump and the whole test suite with AddressSanitizer
# (leak checks included) and UndefinedBehaviorSanitizer in build-sanitize/,
# and runs every test there. The end-to-end tests run the programs of that
# same build, so the programs are checked as the users run them. A report
# ends a program with status 86 and fails the test that ran it.
#
#   SANITIZE_CXX    compiler (default: the one CMake finds, g++ on Debian)
#   SANITIZE_JOBS   build and test jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${SANITIZE_JOBS:-$(nproc 2>/dev/null || echo 2)}
configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXBUILD_SANITIZE=ON -DLEXBUILD_BENCH=OFF)
if [ -n "${SANITIZE_CXX:-}" ]; then configure+=("-DCMAKE_CXX_COMPILER=$SANITIZE_CXX"); fi

cmake -S . -B build-sanitize "${configure[@]}"
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize -j "$jobs" --output-on-failure
