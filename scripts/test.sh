#!/usr/bin/env bash
# Builds lexbuild and runs the whole test suite: the command that CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# --- Windows: lexbuild.exe and the suite cross-built with mingw-w64 and run
# under wine, then the databases compared with this build's (scripts/windows-tests.sh) ---
./scripts/windows-tests.sh build-win build
# --- end of Windows ---

# --- static analysis: clang-tidy and cppcheck over src/ (scripts/static-checks.sh) ---
./scripts/static-checks.sh build
# --- end of static analysis ---

# ---- Hardening, part A: the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target for a few seconds.
./scripts/sanitizer-tests.sh
./scripts/fuzz-smoke.sh

# --- packaging: the Debian package, installed into a scratch root and tried (scripts/package-test.sh) ---
./scripts/package-test.sh
# --- end of packaging ---
