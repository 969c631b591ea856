#!/usr/bin/env bash
# Builds lexbuild and runs the whole test suite: the command that CI runs.
# Each phase prints a heading; the last line says what ran and passed (or
# which phase failed).
set -euo pipefail
cd "$(dirname "$0")/.."

passed=()
current=""
# The phases passed so far, separated by commas.
passed_list() {
  local IFS=,
  echo "${passed[*]:-none}" | sed 's/,/, /g'
}
trap 'status=$?; if [ "$status" -ne 0 ] && [ -n "$current" ]; then
  echo "test.sh: FAILED in phase \"$current\" (status $status); passed before it: $(passed_list)" >&2
fi' EXIT

# phase NAME COMMAND...: runs one phase under its heading.
phase() {
  current=$1
  shift
  printf '\n==== %s ====\n' "$current"
  local start=$SECONDS
  "$@"
  passed+=("$current ($((SECONDS - start)) s)")
}

ctest_run() {
  ctest --test-dir build -j "$jobs" --output-on-failure | tee build/ctest-summary.txt
  tests=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' build/ctest-summary.txt)
  current="$current: ${tests:-?} tests"
}

phase "dependencies" ./scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

phase "build" bash -c "cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build build -j $jobs"
phase "tests" ctest_run

# --- Windows: lexbuild.exe and the suite cross-built with mingw-w64 and run
# under wine, then the databases compared with this build's (scripts/windows-tests.sh) ---
phase "windows" ./scripts/windows-tests.sh build-win build
# --- end of Windows ---

# --- static analysis: clang-tidy and cppcheck over src/ (scripts/static-checks.sh) ---
phase "static checks" ./scripts/static-checks.sh build
# --- end of static analysis ---

# ---- Hardening, part A: the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target for a few seconds.
phase "sanitizer tests" ./scripts/sanitizer-tests.sh
phase "fuzz smoke" ./scripts/fuzz-smoke.sh

# --- packaging: the Debian package, installed into a scratch root and tried (scripts/package-test.sh) ---
phase "package" ./scripts/package-test.sh
# --- end of packaging ---

current=""
echo
echo "test.sh: all ${#passed[@]} phases passed: $(passed_list)"
