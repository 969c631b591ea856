#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each one for a bounded
# time from its seed corpus in fuzz/corpus/<target>/. New inputs go to a
# scratch folder, so the committed corpus is never changed. Any crash, leak,
# sanitizer report or time-out fails the run; the input that caused it is
# kept as build-fuzz/findings/<target>/crash-* (or leak-*, timeout-*), and
# `build-fuzz/fuzz/<target> <file>` replays it.
#
#   FUZZ_SECONDS   seconds per target (default 15)
#   FUZZ_TARGETS   targets to run, space-separated (default: all)
#   FUZZ_JOBS      build jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-15}
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
cxx=${FUZZ_CXX:-clang++-14}

CXX=$cxx cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXBUILD_FUZZ=ON > /dev/null
cmake --build build-fuzz -j "$jobs"

# Longest input each target is given: enough to cut an 8000-byte definition,
# to span two compressor blocks, and to hold a database of a few chunks.
max_len() {
  case $1 in
    tab_splitter | compressor) echo 20000 ;;
    build) echo 12000 ;;
    lexdump_verify | lexdump_entries | extras) echo 16384 ;;
    *) echo 8192 ;;
  esac
}

targets=${FUZZ_TARGETS:-$(cd build-fuzz/fuzz && ls -- *_fuzz | sed 's/_fuzz$//')}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
printf '%-18s %12s %8s  %s\n' target executions seconds result
for t in $targets; do
  findings=build-fuzz/findings/$t
  mkdir -p "$scratch/$t" "$findings"
  log=build-fuzz/findings/$t.log
  status=0
  build-fuzz/fuzz/${t}_fuzz "$scratch/$t" "fuzz/corpus/$t" -max_total_time="$seconds" \
    -max_len="$(max_len "$t")" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" > "$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  result=ok
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    result="FAILED (status $status, see $log)"
    failed+=("$t")
  fi
  printf '%-18s %12s %8s  %s\n' "$t" "${execs:-?}" "$seconds" "$result"
done

if [ ${#failed[@]} -ne 0 ]; then
  for t in "${failed[@]}"; do
    echo "---- $t ----"
    grep -A 30 -m 1 -E 'ERROR:|runtime error:|==[0-9]+==' "build-fuzz/findings/$t.log" || tail -40 "build-fuzz/findings/$t.log"
  done
  exit 1
fi
