#!/usr/bin/env bash
# What reading a UTF-8 list costs: whole builds of one generated list, given
# in code page 1252, in UTF-8 and in UTF-16LE, timed in the same run, with
# wall, user and system time. The list is the benchmark generator's, with
# accents put into its syllables (about 8% of the characters are beyond
# ASCII, so nearly every line holds a multi-byte sequence).
#
#   bench/utf8_bench.sh [--repeat=R]
#
#   8-bit dictionaries:  125,000 entries (about 40 MB): the code-page list,
#                        and the UTF-8 list with --source_encoding=utf-8
#   UTF-16 dictionaries: 60,000 entries (the format holds no more of these):
#                        the code-page list with --to_unicode=1, the UTF-8
#                        list with --unicode=1, the UTF-16LE list
#
# Each figure is the median of R runs (default 3), the builds taking turns so
# that the shared machine's load falls on all of them alike; compare the
# ratios. Every UTF-8 build must give the database of its code-page build.
# Builds a Release tree in build-release/ first; BENCH_TEMP=DIR names the
# folder for the lists and the work files (default build-release/).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

repeat=3
for arg in "$@"; do
  case $arg in
    --repeat=*) repeat=${arg#--repeat=} ;;
    *) echo "usage: bench/utf8_bench.sh [--repeat=R]" >&2; exit 2 ;;
  esac
done

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLEXBUILD_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target lexbuild make_wordlist >/dev/null
lexbuild="$root/build-release/lexbuild"
generate="$root/build-release/bench/make_wordlist"

base=${BENCH_TEMP:-$root/build-release}
work=$(mktemp -d "$base/utf8_bench.XXXXXX")
temp="$work/temp"
trap 'rm -rf "$work"' EXIT
mkdir -p "$temp"

# The list of N entries as $work/<name>_{1252,utf8,utf16}.tab.
make_lists() {
  local n=$1 name=$2
  "$generate" "$n" 1 300 |
    sed 's/ea/éa/g; s/ou/où/g; s/ie/iè/g; s/ai/aï/g; s/au/âu/g; s/oo/œ/g; s/ck/ç/g' \
      >"$work/${name}_utf8.tab"
  iconv -f UTF-8 -t CP1252 "$work/${name}_utf8.tab" >"$work/${name}_1252.tab"
  iconv -f UTF-8 -t UTF-16LE "$work/${name}_utf8.tab" >"$work/${name}_utf16.tab"
}

# One build in $work: appends "wall user system status" to $work/<label>.times.
run_once() {
  local label=$1 status=0
  shift
  (cd "$work" && TEMP="$temp" TMP="$temp" /usr/bin/time -o "$work/time" -f '%e %U %S' \
     "$lexbuild" --id=Bench --outfile="$label.pdb" --source_language=French "$@" \
     >"$work/stdout" 2>&1) || status=$?
  if [ "$status" != 0 ]; then
    echo "$label: $(grep -a 'lexbuild error' "$work/stdout" | head -n 1)" >&2
  fi
  echo "$(tail -n 1 "$work/time") $status" >>"$work/$label.times"
}

# The median of each column of a label's runs: "wall user system".
median() {
  local file="$work/$1.times" mid=$(((repeat + 1) / 2)) column
  for column in 1 2 3; do
    cut -d' ' -f"$column" "$file" | sort -n | sed -n "${mid}p"
  done | paste -sd' '
}

# The database with its two dates left out.
undated() { head -c 36 "$1"; tail -c +45 "$1"; }

same_database() {
  if cmp -s <(undated "$work/$1.pdb") <(undated "$work/$2.pdb"); then echo "same"; else echo "DIFFERENT"; fi
}

make_lists 125000 big
make_lists 60000 mid
declare -A builds=(
  [cp1252]="--infile=big_1252.tab"
  [utf8]="--infile=big_utf8.tab --source_encoding=utf-8"
  [cp1252_to_unicode]="--infile=mid_1252.tab --to_unicode=1"
  [utf8_unicode]="--infile=mid_utf8.tab --source_encoding=utf-8 --unicode=1"
  [utf16_unicode]="--infile=mid_utf16.tab --unicode=1 --source_format=tab"
)
order=(cp1252 utf8 cp1252_to_unicode utf8_unicode utf16_unicode)
for ((r = 0; r < repeat; ++r)); do
  for label in "${order[@]}"; do
    # shellcheck disable=SC2086
    run_once "$label" ${builds[$label]}
  done
done

mb() { awk -v b="$(stat -c %s "$work/$1")" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
echo "UTF-8 conversion cost: $(nproc) cores, median of $repeat runs each"
echo "lists: 8-bit rows $(mb big_1252.tab) in 1252, $(mb big_utf8.tab) in UTF-8;" \
  "UTF-16 rows $(mb mid_1252.tab) in 1252, $(mb mid_utf8.tab) in UTF-8, $(mb mid_utf16.tab) in UTF-16LE"
printf "%-40s %7s %7s %7s\n" "build" "wall s" "user s" "sys s"
for label in "${order[@]}"; do
  printf "%-40s %7.2f %7.2f %7.2f\n" "$label: ${builds[$label]}" $(median "$label")
done

# Prints "label: wall x, user x, system x" for the medians of a over b.
ratio() {
  read -r wa ua sa < <(median "$1")
  read -r wb ub sb < <(median "$2")
  awk -v l="$1 / $2" -v wa="$wa" -v ua="$ua" -v sa="$sa" -v wb="$wb" -v ub="$ub" -v sb="$sb" \
    'function r(a, b) { return b > 0 ? a / b : 0 }
     BEGIN { printf "%-40s wall %.3f  user %.3f  sys %.3f  user+sys %.3f\n", l,
             r(wa, wb), r(ua, ub), r(sa, sb), r(ua + sa, ub + sb) }'
}
echo
echo "ratios (same run; at most 1.10 is the target):"
ratio utf8 cp1252
ratio utf8_unicode cp1252_to_unicode
ratio utf8_unicode utf16_unicode
echo
echo "databases: 8-bit UTF-8 vs 1252 $(same_database utf8 cp1252);" \
  "UTF-16 UTF-8 vs 1252 $(same_database utf8_unicode cp1252_to_unicode);" \
  "UTF-8 vs UTF-16LE $(same_database utf8_unicode utf16_unicode)"
