#!/usr/bin/env bash
# Times whole builds of generated word lists with their peak memory, and the
# same lists converted by stardict's tabfile as a baseline, in one run.
#
#   bench/build_bench.sh            N = 100,000 and the ~40 MB list of 125,000 entries
#   bench/build_bench.sh --largest  also searches the largest N the format takes
#
# BENCH_TEMP=DIR puts the work folder (TEMP and TMP) under DIR instead of the
# benchmark's own folder in /tmp. A build writes and deletes one file per
# chunk (about 5,000 for 40 MB), so the file system counts: ext4 without a
# journal, for one, searches past every inode freed in the last minutes
# whenever it creates a file, and builds run soon after one another (or
# beside other programs creating and deleting files) slow down there.
#
# Builds a Release tree in build-release/ first. The baseline needs Debian's
# stardict-tools; it is installed when missing and apt-get is usable.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLEXBUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target lexbuild make_wordlist >/dev/null
lexbuild="$root/build-release/lexbuild"
generate="$root/build-release/bench/make_wordlist"

tabfile=$(command -v tabfile || ls /usr/lib/stardict-tools/tabfile 2>/dev/null || true)
if [ -z "$tabfile" ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq stardict-tools >/dev/null 2>&1 || true
  tabfile=$(command -v tabfile || ls /usr/lib/stardict-tools/tabfile 2>/dev/null || true)
fi

work=$(mktemp -d)
temp="$work/temp"
if [ -n "${BENCH_TEMP:-}" ]; then temp=$(mktemp -d "$BENCH_TEMP/lexbuild_bench.XXXXXX"); fi
trap 'rm -rf "$work" "$temp"' EXIT
mkdir -p "$temp"

# Prints "seconds peak_kb status" of a command run in $work.
measure() {
  local out
  out=$( { cd "$work" && TEMP="$temp" TMP="$temp" /usr/bin/time -f '%e %M' "$@" \
           >"$work/stdout" 2>"$work/stderr.tmp"; echo "status $?" >>"$work/stderr.tmp"; } ; \
         tail -n 2 "$work/stderr.tmp" | tr '\n' ' ')
  echo "$out" | awk '{print $1, $2, $4}'
}

run_case() {
  local entries=$1 mean=$2
  "$generate" "$entries" 1 "$mean" >"$work/list.tab"
  local bytes
  bytes=$(stat -c %s "$work/list.tab")
  read -r secs kb status < <(measure "$lexbuild" --infile=list.tab --id=Bench)
  awk -v n="$entries" -v b="$bytes" -v s="$secs" -v k="$kb" -v st="$status" 'BEGIN {
    printf "%-9s entries %6.1f MB  lexbuild %6.2f s  peak %7.1f MB (%.2f x source)  status %s\n",
      n, b / 1048576, s, k / 1024, k * 1024 / b, st }'
  if [ "$status" != 0 ]; then tail -n 3 "$work/stdout"; fi
  if [ -n "$tabfile" ]; then
    cp "$work/list.tab" "$work/list.txt"
    sed -i 's/\r$//' "$work/list.txt"
    read -r tsecs tkb tstatus < <(measure "$tabfile" list.txt)
    awk -v s="$secs" -v t="$tsecs" -v k="$tkb" -v st="$tstatus" 'BEGIN {
      printf "%-9s          tabfile  %6.2f s  peak %7.1f MB  status %s  (lexbuild / tabfile = %.2f)\n",
        "", t, k / 1024, st, (t > 0 ? s / t : 0) }'
  fi
}

echo "lexbuild whole-build benchmark ($(nproc) cores, work folder on $(stat -f -c %T "$temp"))"
run_case 100000 300
run_case 125000 300

if [ "${1:-}" = "--largest" ]; then
  # Bisect the largest N that builds, with the same generator settings.
  low=125000 high=1000000
  while [ $((high - low)) -gt 1000 ]; do
    mid=$(((low + high) / 2))
    "$generate" "$mid" 1 300 >"$work/list.tab"
    read -r _ _ status < <(measure "$lexbuild" --infile=list.tab --id=Bench)
    if [ "$status" = 0 ]; then low=$mid; else high=$mid; fi
  done
  echo "largest N that builds (within 1000): $low"
  "$generate" "$high" 1 300 >"$work/list.tab"
  measure "$lexbuild" --infile=list.tab --id=Bench >/dev/null
  echo "N = $high ends with: $(grep -a 'lexbuild error' "$work/stdout" | head -n 1)"
fi
