#!/usr/bin/env bash
# Builds the same word lists with the Windows lexbuild.exe (under wine) and
# the Linux lexbuild, over several option sets, and compares the databases
# byte for byte apart from their two dates (bytes 36 to 43). Any other
# difference fails the script.
#
#   ./scripts/windows-parity.sh [WINDOWS_BUILD] [LINUX_BUILD]   (defaults build-win, build)
set -euo pipefail
cd "$(dirname "$0")/.."

win_build=$(realpath "${1:-build-win}")
linux_build=$(realpath "${2:-build}")
wine=${WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(mktemp -d /tmp/lexbuild-parity-XXXXXX)
own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$work/prefix
  export WINEPREFIX=$own_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fi
cleanup() {
  if [ -n "$own_prefix" ]; then "$wineserver" -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The lists: the English sample in a shuffled order (a fixed seed) as TAB
# and as CSV, and a Russian list in code page 1251 made from it (each Latin
# letter a Cyrillic one, capitals and punctuation kept), also as TAB and CSV.
awk 'BEGIN { srand(17) } { printf "%.9f\t%s\n", rand(), $0 }' examples/sample.tab |
  LC_ALL=C sort | cut -f2- > "$work/english.tab"
LC_ALL=C tr 'a-zA-Z' '\340-\371\300-\331' < "$work/english.tab" > "$work/russian.tab"
for list in english russian; do
  awk -F'\t' '{ gsub(/"/, "\"\"", $1); gsub(/"/, "\"\"", $2); printf "\"%s\",\"%s\"\r\n", $1, $2 }' \
    "$work/$list.tab" > "$work/$list.csv"
done

option_sets=(
  "english.tab|"
  "english.tab|--source_language=English"
  "english.tab|--source_language=English --to_unicode=1"
  "english.csv|--source_language=English"
  "english.tab|--source_language=English --allow_html=1 --largefont=1"
  "russian.tab|--source_language=Russian"
  "russian.tab|--source_language=Russian --to_unicode=1"
  "russian.csv|--source_language=Russian --to_unicode=1"
  "russian.csv|--source_language=Russian --allow_html=1"
)

# build_on SIDE LIST ID OPTIONS...: builds $work/LIST in a fresh $work/SIDE
# with the Linux lexbuild or, for SIDE windows, lexbuild.exe under wine.
build_on() {
  local side=$1 list=$2 id=$3
  shift 3
  local dir=$work/$side
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$work/$list" "$dir/"
  if [ "$side" = linux ]; then
    (cd "$dir" && TEMP=$dir TMP=$dir "$linux_build/lexbuild" --infile="$list" --id="$id" "$@" \
      > out.txt)
  else
    (cd "$dir" && TEMP='Z:'"$dir" TMP='Z:'"$dir" "$wine" "$win_build/lexbuild.exe" \
      --infile="$list" --id="$id" "$@" > out.txt)
  fi
}

same=0
differ=0
for set in "${option_sets[@]}"; do
  list=${set%%|*}
  read -r -a options <<< "${set#*|}"
  for side in linux windows; do build_on "$side" "$list" Parity "${options[@]}"; done
  # Offsets (counted from 1) where the two databases differ, the dates aside.
  others=$(cmp -l "$work/linux/Parity.pdb" "$work/windows/Parity.pdb" 2>&1 |
    awk '$1 !~ /^[0-9]+$/ || $1 < 37 || $1 > 44' | head -5 || true)
  size=$(stat -c %s "$work/linux/Parity.pdb")
  if [ -z "$others" ]; then
    same=$((same + 1))
    echo "windows-parity: same bytes ($size) for $list ${options[*]:-(C locale)}"
  else
    differ=$((differ + 1))
    echo "windows-parity: DIFFERENT databases for $list ${options[*]:-(C locale)}: $others"
  fi
done
echo "windows-parity: $same of $((same + differ)) option sets give the same database on Windows and Linux"

# The orders of the two builds on generated words of each language's code
# page (lower-case letters, accented ones among them, with hyphens,
# apostrophes and spaces inside): every pair of words that the two sort the
# other way round is a discordant pair. The Windows build asks the services
# the Windows orders were measured with; the Linux build's fit of them may
# disagree on a few letters, which is reported, not failed.
make_words() {  # LANGUAGE SEED COUNT
  LC_ALL=C awk -v lang="$1" -v seed="$2" -v n="$3" 'BEGIN {
    srand(seed)
    for (c = 97; c <= 122; c++) letters[k++] = sprintf("%c", c)
    if (lang == "English") {
      for (c = 224; c <= 255; c++) if (c != 247) letters[k++] = sprintf("%c", c)
    } else {
      for (c = 224; c <= 255; c++) { letters[k++] = sprintf("%c", c); letters[k++] = sprintf("%c", c) }
      letters[k++] = sprintf("%c", 184)
    }
    split("- '"'"' ", inner, "")
    while (made < n) {
      len = 2 + int(rand() * 7)
      w = ""
      for (i = 0; i < len; i++) {
        if (i > 0 && i < len - 1 && rand() < 0.08) w = w inner[1 + int(rand() * 3)]
        else w = w letters[int(rand() * k)]
      }
      if (w in seen) continue
      seen[w] = 1
      printf "%s\t%d\r\n", w, ++made
    }
  }'
}
for language in English Russian; do
  list=words_${language}.tab
  make_words "$language" 23 3000 > "$work/$list"
  for side in linux windows; do
    build_on "$side" "$list" Order --source_language="$language"
    "$linux_build/lexdump" entries "$work/$side/Order.pdb" > "$work/order_$side.txt"
  done
  read -r entries discordant pairs < <(awk -F'\t' 'NR == FNR { at[$0] = FNR; next }
    { p[++m] = at[$0] }
    END { for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (p[i] > p[j]) d++
          print m, d + 0, m * (m - 1) / 2 }' "$work/order_linux.txt" "$work/order_windows.txt")
  echo "windows-parity: $language order of $entries generated words: $discordant discordant" \
    "pairs of $pairs between Windows and Linux"
  [ "$entries" -eq 3000 ] || { echo "windows-parity: $entries of 3000 words were stored"; differ=$((differ + 1)); }
done

[ "$differ" -eq 0 ]
