#!/usr/bin/env bash
# Regenerates the fuzz targets' seed corpora under fuzz/corpus/<target>/ from
# the sample word list, small hand-written sources and databases built by
# lexbuild itself. Needs a normal build (default: build/; or give its folder).
# The corpora are committed (databases without their .pdb ending, which git
# ignores); run this again when a file format changes. It reproduces the
# committed files byte for byte (the databases carry a fixed date), so
# `git status` shows only what a format change changed; inputs added by hand
# (findings turned into seeds) are kept.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build}" && pwd)
lexbuild="$build/lexbuild"
[ -x "$lexbuild" ] || { echo "fuzz-corpus: build lexbuild first (no $lexbuild)" >&2; exit 1; }

corpus=fuzz/corpus
for t in build options csv_reader tab_splitter entry_parser compressor decompressor \
         lexdump_verify lexdump_entries extras; do
  mkdir -p "$corpus/$t"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- Command lines: the arguments, separated by zero bytes ----
args() { printf -- "$2" > "$corpus/options/$1"; }
args build '--infile=words.tab\0--id=MyDict\0--source_language=English\0--to_unicode=2\0--largefont=1'
args values '--unicode=1x\0--cutlong=0\0--debug\0--outfile=--id=x\0--Infile=My.CSV\0x--debug'
args files '--abbrfile=a.txt\0--aboutfile=b.txt\0--fontfile=f\0--font_textlr=g\0--kbdfile=k\0--source_format=tab'
args extras '--pictures_db=Pictures\0--allow_html=-1\0--FONT_TEXTHR=a.fnt\0--font_listHR=\0--font_listHR=b.fnt'
args refusals '--unicode=00\0--id=\0--to_unicode=4'
args help '--version\0--help\0other'

# ---- CSV sources: records, quotes, line breaks, directives, refusals ----
csv() { printf "$2" > "$corpus/csv_reader/$1.csv"; }
csv plain '"cat","animal"\r\n"dog","a ""big"" dog"\r\n'
csv unquoted 'cat,animal,pet\ncat\n,b\n"a",,"c"\n"ab"cd,e\n'
csv multiline '"a","line1\nline2"\na,b,\nc\n\n\n"x","y"'
csv header '#@!Velmora!@# ID=[MyDict] LARGEFONT=[1] ABOUT=[Line one\\nLine two] ABBREVIATION=[n. noun\\nv. verb]\r\n"a","b"\r\n'
csv header_open 'ID=[no closing bracket ABOUT=[x\n#@!Velm,a\n#@!Velmora!@#,skipped\n"q","r"\r'
csv errors ' "a",b\n'
csv open_quote '"a","b'
csv control "a\tb,c\x1a\"d\",e\n"
head -c 2000 examples/sample.tab | sed 's/\t/","/; s/^/"/; s/\r$/"\r/' > "$corpus/csv_reader/sample.csv"

# ---- TAB lists: the first byte picks the mode (bit 0 cut, bit 1 UTF-16
# limits, bit 2 a 16-bit list, bits 3 to 7 the block size less one) ----
tab() { { printf "$2"; cat; } > "$corpus/tab_splitter/$1"; }
head -c 3000 examples/sample.tab | tab sample_cut '\x01'
head -c 3000 examples/sample.tab | tab sample_check '\x00'
head -c 3000 examples/sample.tab | tab sample_blocks '\x39'
printf 'abcdefghijklmnopqrstuvwxyz0123\tdef\r\nabc\ncat\tanimal\rno tab at all in this long line\n' |
  tab long_words '\x01'
{ printf 'k\t'; head -c 3999 /dev/zero | tr '\0' x; printf ' '; head -c 4001 /dev/zero | tr '\0' y
  printf '\r\n'; } | tab long_definition '\x03'
{ printf 'w\t'; for _ in $(seq 900); do printf 'word '; done; printf '\n'; } | tab many_pieces '\x01'
printf 'c\0a\0t\0\t\0a\0n\0i\0m\0a\0l\0\r\n' | tab sixteen_bit '\x05'

# ---- Whole builds: the first byte picks the options (bit 0 TAB format, bit 1
# --to_unicode=1, bit 2 --unicode=1, bit 3 --cutlong=0, bits 4 and 5 the
# language: none, English, Russian) ----
source() { { printf "$2"; cat; } > "$corpus/build/$1"; }
head -c 3000 examples/sample.tab | source tab '\x01'
head -c 3000 examples/sample.tab | source tab_english '\x11'
head -c 3000 examples/sample.tab | source tab_russian_utf16 '\x23'
head -c 3000 examples/sample.tab | source tab_no_cut '\x09'
source csv '\x00' < "$corpus/csv_reader/header.csv"
source csv_english_utf16 '\x12' < "$corpus/csv_reader/sample.csv"
source csv_quotes '\x20' < "$corpus/csv_reader/unquoted.csv"
printf 'c\0a\0t\0\t\0a\0n\0i\0m\0a\0l\0\r\n' | source utf16_source '\x05'
{ printf 'abcdefghijklmnopqrstuvwxyz0123\tw '; for _ in $(seq 2000); do printf 'word '; done
  printf '\r\n'; } | source long_entry '\x01'

# ---- Sorted lists for the compiler: the first byte is 1 for UTF-16 ----
list() { { printf "$2"; cat; } > "$corpus/entry_parser/$1"; }
head -c 4000 examples/sample.tab | list sample '\x00'
printf '  cat  \t  big cat  \r\nno tab\r\n   \r\na\\\\nb\tc\\\\nd\t2nd tab\rlast\tone' | list spaces '\x00'
printf 'c\0a\0t\0\t\0a\0n\0i\0m\0a\0l\0\r\n\x20\0\r\nd\0\t\0\\\0n\0' | list utf16 '\x01'

# ---- Compressor input: text and runs ----
head -c 2000 examples/sample.tab > "$corpus/compressor/sample"
head -c 17000 examples/sample.tab > "$corpus/compressor/sample_long"
printf 'abcabcabcabc' > "$corpus/compressor/repeats"
head -c 300 /dev/zero > "$corpus/compressor/zeros"

# ---- Compressed streams: the worked examples, then chunks cut from a build ----
stream() { printf "$2" > "$corpus/decompressor/$1"; }
stream empty '\x02\x00\x01\x00\x00'
stream one '\x05\x00\x41\x01\x00\x00'
stream run10 '\x15\x00\x41\xff\xff\x01\x00\x00'
stream run20 '\x15\x00\x41\xff\xf8\x13\x01\x00\x00'
stream ababab '\x93\x00\x61\x62\xfe\x01\x00\x00'
stream abcabc '\x57\x00\x61\x62\x63\xfd\xff\x01\x00\x00'

# ---- Databases built by lexbuild ----
export TEMP="$work" TMP="$work"
build() {  # build NAME SOURCE [options...]
  local name=$1 source=$2
  shift 2
  (cd "$work" && "$lexbuild" --infile="$source" --source_format=tab --id="$name" \
     --outfile="$name.pdb" "$@" > /dev/null)
  # The creation and modification dates of the committed seeds, not today's.
  printf '\xe7\x3c\x58\x00\xe7\x3c\x58\x00' |
    dd of="$work/$name.pdb" bs=1 seek=36 conv=notrunc status=none
}
printf 'ant\tinsect\r\nbee\tinsect that makes honey\r\ncat\tanimal\\nsmall\r\n' > "$work/three.tab"
head -c 6000 examples/sample.tab > "$work/part.tab"
cp examples/sample.tab "$work/sample.tab"
printf 'About this dictionary\r\n' > "$work/about.txt"
printf 'n. noun\r\n' > "$work/abbr.txt"
printf 'FONT' > "$work/text.fnt"
build three three.tab
build unicode three.tab --source_language=Russian --to_unicode=1
build part part.tab --aboutfile=about.txt --abbrfile=abbr.txt --largefont=1
build extras three.tab --pictures_db=Pictures --allow_html=1 --font_textHR=text.fnt \
  --font_listHR=text.fnt
build sample sample.tab --source_language=English
for t in lexdump_verify lexdump_entries extras; do
  for db in three unicode part extras; do cp "$work/$db.pdb" "$corpus/$t/$db"; done
done
cp "$work/sample.pdb" "$corpus/lexdump_verify/sample"

be() {  # be FILE OFFSET WIDTH: a big-endian number
  od -An -tu1 -j"$2" -N"$3" "$1" | awk '{ v = 0; for (i = 1; i <= NF; i++) v = v * 256 + $i; print v }'
}
for db in three unicode part sample; do
  f="$work/$db.pdb"
  # The chunks of the part of the sample are named for the pieces they hold.
  seed=$db
  [ "$db" = part ] && seed=piece
  for record in 4 5; do
    start=$(be "$f" $((78 + 8 * record)) 4)
    for slot in 0 1; do
      count=$(be "$f" "$start" 2)
      [ "$slot" -lt "$count" ] || continue
      offset=$(be "$f" $((start + 10 + 10 * slot)) 2)
      size=$(be "$f" $((start + 12 + 10 * slot)) 2)
      dd if="$f" of="$corpus/decompressor/${seed}_${record}_${slot}" bs=1 skip=$((start + offset)) \
        count="$size" status=none
    done
  done
done

du -sh "$corpus"/* | sed "s|$root/||"
