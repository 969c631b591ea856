#!/usr/bin/env bash
# Times whole builds of generated word lists against stardict's tabfile on
# the same lists, in one run, for 8-bit and --to_unicode=1 builds, and prints
# wall, user and system time and peak memory of each.
#
#   bench/build_bench.sh [--repeat=R] [--largest]
#
#   --repeat=R  runs every measurement R times (default 3) and reports the
#               median by wall time: the machine is shared, so compare the
#               ratios of one run, not figures of different runs; the
#               --to_unicode=1 / 8-bit ratio is also taken from R pairs of
#               builds run one after the other
#   --largest   also bisects the largest N that the format holds, and the
#               largest that a --to_unicode=1 build holds, and times them
#
# The growth series is N = 10,000, 40,000 and 125,000 (about 40 MB). The
# work folder (TEMP and TMP) lies in build-release/, on the disk's file
# system, unless BENCH_TEMP=DIR names another folder. Builds a Release tree
# in build-release/ first. The baseline needs Debian's stardict-tools; it is
# installed when missing and apt-get is usable, and left out otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

repeat=3
largest=0
for arg in "$@"; do
  case $arg in
    --repeat=*) repeat=${arg#--repeat=} ;;
    --largest) largest=1 ;;
    *) echo "usage: bench/build_bench.sh [--repeat=R] [--largest]" >&2; exit 2 ;;
  esac
done

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLEXBUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target lexbuild make_wordlist >/dev/null
lexbuild="$root/build-release/lexbuild"
generate="$root/build-release/bench/make_wordlist"

find_tabfile() { command -v tabfile || ls /usr/lib/stardict-tools/tabfile 2>/dev/null || true; }
tabfile=$(find_tabfile)
if [ -z "$tabfile" ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq stardict-tools >/dev/null 2>&1 || true
  tabfile=$(find_tabfile)
fi

base=${BENCH_TEMP:-$root/build-release}
work=$(mktemp -d "$base/build_bench.XXXXXX")
temp="$work/temp"
trap 'rm -rf "$work"' EXIT
mkdir -p "$temp"

# One run of a command in $work: prints "wall user system peak_kb status".
run_once() {
  local status=0
  (cd "$work" && TEMP="$temp" TMP="$temp" /usr/bin/time -o "$work/time" -f '%e %U %S %M' "$@" \
     >"$work/stdout" 2>"$work/stderr") || status=$?
  echo "$(tail -n 1 "$work/time") $status"
}

# The median of `repeat` runs, by wall time.
measure() {
  for ((r = 0; r < repeat; ++r)); do run_once "$@"; done | sort -n | sed -n "$(((repeat + 1) / 2))p"
}

# Prints one table row: label, then the five measured fields and the source size.
row() {
  local label=$1 bytes=$2
  shift 2
  awk -v l="$label" -v b="$bytes" -v w="$1" -v u="$2" -v s="$3" -v k="$4" -v st="$5" 'BEGIN {
    printf "%-30s %7.2f %7.2f %7.2f %6.0f%% %8.1f %6.2f %6s\n", l, w, u, s,
      (u > 0 ? 100 * s / u : 0), k / 1024, k * 1024 / b, st }'
}

header() {
  printf "%-30s %7s %7s %7s %7s %8s %6s %6s\n" "build" "wall s" "user s" "sys s" "sys/usr" \
    "peak MB" "x src" "status"
}

generate_list() {
  "$generate" "$1" 1 300 >"$work/list.tab"
  # tabfile wants LF line ends.
  sed 's/\r$//' "$work/list.tab" >"$work/list.txt"
  stat -c %s "$work/list.tab"
}

# Timed to the millisecond, which /usr/bin/time's hundredths are not.
elapsed_ns() {
  local start
  start=$(date +%s%N)
  (cd "$work" && TEMP="$temp" TMP="$temp" "$@" >/dev/null 2>&1) || true
  echo $(($(date +%s%N) - start))
}

# The --to_unicode=1 / 8-bit ratio of builds run in alternating pairs,
# `repeat` pairs, the order flipped every other pair: both builds of a pair
# meet the same load of the shared machine, which the medians of separate
# series do not. Prints "median min max" of the pairs' ratios.
paired_ratio() {
  local r first second a b
  for ((r = 0; r < repeat; ++r)); do
    first=() second=(--to_unicode=1)
    if ((r % 2)); then first=(--to_unicode=1) second=(); fi
    a=$(elapsed_ns "$lexbuild" --infile=list.tab --id=Bench "${first[@]}")
    b=$(elapsed_ns "$lexbuild" --infile=list.tab --id=Bench "${second[@]}")
    if ((r % 2)); then awk -v u="$a" -v e="$b" 'BEGIN { print u / e }'; else
      awk -v u="$b" -v e="$a" 'BEGIN { print u / e }'; fi
  done | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f %.2f %.2f\n", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

declare -A wall
# Times lexbuild in both modes and tabfile on the list of N entries.
bench_list() {
  local n=$1 bytes
  bytes=$(generate_list "$n")
  local m8 m16 mt
  m8=$(measure "$lexbuild" --infile=list.tab --id=Bench)
  row "N=$n lexbuild 8-bit" "$bytes" $m8
  if [ "${m8##* }" != 0 ]; then grep -a "lexbuild error" "$work/stdout" | head -n 1; fi
  m16=$(measure "$lexbuild" --infile=list.tab --id=Bench --to_unicode=1)
  row "N=$n lexbuild --to_unicode=1" "$bytes" $m16
  if [ "${m16##* }" != 0 ]; then grep -a "lexbuild error" "$work/stdout" | head -n 1; fi
  wall[$n.8]=${m8%% *}
  wall[$n.16]=${m16%% *}
  wall[$n.8.status]=${m8##* }
  wall[$n.16.status]=${m16##* }
  if [ "${m8##* }" = 0 ] && [ "${m16##* }" = 0 ]; then wall[$n.pairs]=$(paired_ratio); fi
  if [ -n "$tabfile" ]; then
    mt=$(measure "$tabfile" list.txt)
    row "N=$n tabfile" "$bytes" $mt
    wall[$n.t]=${mt%% *}
  fi
  printf "%-30s %.1f MB source\n" "" "$(awk -v b="$bytes" 'BEGIN { print b / 1048576 }')"
}

echo "lexbuild whole-build benchmark: $(nproc) cores, work folder on $(stat -f -c %T "$temp")" \
  "($(df --output=source "$temp" | tail -n 1)), median of $repeat runs"
if [ -z "$tabfile" ]; then echo "stardict's tabfile is not installed: no baseline"; fi
header
series=(10000 40000 125000)
for n in "${series[@]}"; do bench_list "$n"; done

echo
echo "ratios (same run):"
for n in "${series[@]}"; do
  line="N=$n"
  if [ -n "${wall[$n.t]:-}" ]; then
    line+=$(awk -v a="${wall[$n.8]}" -v b="${wall[$n.16]}" -v t="${wall[$n.t]}" 'BEGIN {
      printf "  8-bit / tabfile %.2f  --to_unicode=1 / tabfile %.2f", a / t, b / t }')
  fi
  if [ "${wall[$n.16.status]}" = 0 ]; then
    line+=$(awk -v a="${wall[$n.8]}" -v b="${wall[$n.16]}" 'BEGIN {
      printf "  --to_unicode=1 / 8-bit %.2f", b / a }')
    read -r pair_median pair_low pair_high <<<"${wall[$n.pairs]:-0 0 0}"
    line+="  (in alternating pairs: median $pair_median, $pair_low to $pair_high)"
  else
    line+="  --to_unicode=1 build refused (the format's limit)"
  fi
  echo "$line"
done
first=${series[0]}
echo "growth, 8-bit wall time per entry relative to N=$first:" \
  "$(for n in "${series[@]}"; do
       awk -v n="$n" -v f="$first" -v w="${wall[$n.8]}" -v w0="${wall[$first.8]}" 'BEGIN {
         printf " N=%d %.2f", n, (w / n) / (w0 / f) }'
     done)"

# The largest N from $1 to $2 (within 1000) whose list builds with the
# options after them, with the same generator settings.
largest_n() {
  local low=$1 high=$2 mid status
  shift 2
  while [ $((high - low)) -gt 1000 ]; do
    mid=$(((low + high) / 2))
    generate_list "$mid" >/dev/null
    read -r _ _ _ _ status < <(run_once "$lexbuild" --infile=list.tab --id=Bench "$@")
    if [ "$status" = 0 ]; then low=$mid; else high=$mid; fi
  done
  echo "$low $high"
}

if [ "$largest" = 1 ]; then
  read -r low high < <(largest_n 125000 400000)
  echo
  echo "largest N that the format holds (within 1000): $low"
  header
  bench_list "$low"
  awk -v n="$low" -v f="$first" -v w="${wall[$low.8]}" -v w0="${wall[$first.8]}" 'BEGIN {
    printf "growth: N=%d %.2f of the per-entry time at N=%d\n", n, (w / n) / (w0 / f), f }'
  generate_list "$high" >/dev/null
  run_once "$lexbuild" --infile=list.tab --id=Bench >/dev/null
  echo "N = $high ends with: $(grep -a 'lexbuild error' "$work/stdout" | head -n 1)"

  # A 16-bit dictionary holds fewer entries: its text takes twice the bytes.
  read -r low16 _ < <(largest_n 40000 125000 --to_unicode=1)
  echo
  echo "largest N that a --to_unicode=1 build holds (within 1000): $low16"
  header
  bench_list "$low16"
  read -r pair_median pair_low pair_high <<<"${wall[$low16.pairs]:-0 0 0}"
  awk -v n="$low16" -v a="${wall[$low16.8]}" -v b="${wall[$low16.16]}" -v m="$pair_median" \
    -v l="$pair_low" -v h="$pair_high" 'BEGIN {
    printf "N=%d  --to_unicode=1 / 8-bit %.2f  (in alternating pairs: median %s, %s to %s)\n",
      n, b / a, m, l, h }'
fi
