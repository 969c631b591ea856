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
dir=build-sanitize
configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXBUILD_SANITIZE=ON -DLEXBUILD_BENCH=OFF)
if [ -n "${SANITIZE_CXX:-}" ]; then configure+=("-DCMAKE_CXX_COMPILER=$SANITIZE_CXX"); fi

fail() {
  echo "sanitizer-tests: $*" >&2
  exit 1
}

# A cache made for another compiler is not reused: CMake would drop it when
# the compiler changes and configure again without the options given here,
# that is without the sanitizers.
compiler=${SANITIZE_CXX:-default}
stamp=$dir/sanitize-compiler.txt
if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$stamp" 2>/dev/null || echo default)" != "$compiler" ]; then
  echo "sanitizer-tests: $dir/ was configured for another compiler; configuring it afresh"
  rm -rf "$dir"
fi
cmake -S . -B "$dir" "${configure[@]}"
echo "$compiler" > "$stamp"
cmake --build "$dir" -j "$jobs"

# The build tested must be the sanitized one: the option in its cache and
# the sanitizer runtimes in every program the tests run.
grep -q '^LEXBUILD_SANITIZE:BOOL=ON$' "$dir/CMakeCache.txt" ||
  fail "$dir/ is not configured with LEXBUILD_SANITIZE=ON; remove $dir/ and run again"
for program in lexbuild lexdump lexbuild_tests; do
  [ -x "$dir/$program" ] || fail "$dir/$program was not built"
  for runtime in __asan_init __ubsan_handle; do
    grep -aq "$runtime" "$dir/$program" ||
      fail "$dir/$program is not built with the sanitizers (no $runtime); remove $dir/ and run again"
  done
done
echo "sanitizer-tests: lexbuild, lexdump and lexbuild_tests carry AddressSanitizer and UBSan"

ctest --test-dir "$dir" -j "$jobs" --output-on-failure
