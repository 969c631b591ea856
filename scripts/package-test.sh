#!/usr/bin/env bash
# Builds the Debian package from a Release build of the two programs, unpacks
# it into a scratch root and tries what it installed there: the programs, a
# build of the sample word list, its verification, the manual pages and the
# bash completions.
#
#   ./scripts/package-test.sh [BUILD_DIR]      # default build-package/
#
# The package is left in BUILD_DIR (lexbuild_<version>_<arch>.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=${1:-build-package}
jobs=$(nproc 2>/dev/null || echo 2)

fail() {
  echo "package-test: $*" >&2
  exit 1
}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLEXBUILD_TESTS=OFF -DLEXBUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target lexbuild lexdump man_pages
rm -f "$build"/lexbuild_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed"
debs=("$build"/lexbuild_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no lexbuild_*.deb in $build"
deb=${debs[0]}
echo "package-test: built $deb"

# --- the package's fields: ICU, the C and C++ run-time libraries ---
depends=$(dpkg-deb -f "$deb" Depends)
echo "package-test: Depends: $depends"
for library in libc6 libstdc++6 libgcc-s1 libicu; do
  [[ ", $depends" == *", $library"* ]] || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = lexbuild ] || fail "the package is not named lexbuild"

# --- unpack into a scratch root ---
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/lexbuild usr/bin/lexdump
  usr/share/man/man1/lexbuild.1.gz usr/share/man/man1/lexdump.1.gz
  usr/share/doc/lexbuild/README.md usr/share/doc/lexbuild/COPYING
  usr/share/doc/lexbuild/copyright usr/share/doc/lexbuild/sample.tab
  usr/share/bash-completion/completions/lexbuild usr/share/bash-completion/completions/lexdump
)
for path in "${expected[@]}"; do
  [ -f "$root/$path" ] || fail "the package lacks /$path"
done
unexpected=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' |
  grep -v -E '^\./usr/(bin|share/man/man1|share/doc/lexbuild|share/bash-completion/completions)/[^/]+$' ||
  true)
[ -z "$unexpected" ] || fail "the package holds files outside its folders: $unexpected"
if ldd "$root/usr/bin/lexbuild" "$root/usr/bin/lexdump" | grep -q 'not found'; then
  fail "a library the programs need is missing: $(ldd "$root/usr/bin/lexbuild" | grep 'not found')"
fi

# --- the installed programs ---
bin=$root/usr/bin
version=$("$bin/lexbuild" --version | tail -n 1)
[ "$version" = "lexbuild version $(dpkg-deb -f "$deb" Version)" ] ||
  fail "lexbuild --version says '$version'"
"$bin/lexdump" --version >/dev/null || fail "lexdump --version failed"

mkdir "$scratch/work" "$scratch/out"
(cd "$scratch/out" && TEMP=$scratch/work "$bin/lexbuild" \
  --infile="$root/usr/share/doc/lexbuild/sample.tab" --id=Sample --source_language=English \
  >"$scratch/build.log") || {
  cat "$scratch/build.log"
  fail "the installed lexbuild could not build the sample"
}
"$bin/lexdump" verify "$scratch/out/Sample.pdb" || fail "lexdump verify refused the sample"
entries=$("$bin/lexdump" entries "$scratch/out/Sample.pdb" | wc -l)
source_lines=$(grep -c $'\t' "$root/usr/share/doc/lexbuild/sample.tab")
[ "$entries" -eq "$source_lines" ] ||
  fail "the sample holds $source_lines entries, but lexdump lists $entries"
"$bin/lexdump" lookup --source_language=English "$scratch/out/Sample.pdb" abacus >/dev/null ||
  fail "lexdump lookup did not find 'abacus' in the sample"

# --- manual pages: no warnings from mandoc, groff or man ---
for page in "$root"/usr/share/man/man1/*.1.gz; do
  mandoc -T lint -W warning "$page" || fail "mandoc -T lint warns about $(basename "$page")"
  out=$(zcat "$page" | groff -ww -z -man 2>&1) || fail "groff failed on $(basename "$page")"
  [ -z "$out" ] || fail "groff warns about $(basename "$page"): $out"
  if command -v man >/dev/null; then
    out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l failed on $page"
    [ -z "$out" ] || fail "man -l warns about $(basename "$page"): $out"
  fi
done
if command -v man >/dev/null; then
  for program in lexbuild lexdump; do
    man -M "$root/usr/share/man" -w "$program" >/dev/null || fail "man $program finds no page"
  done
fi
# Every option that a program's help names is described in its page.
for program in lexbuild lexdump; do
  page_text=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
  for option in $("$bin/$program" --help | grep -o -E -- '--[A-Za-z_]+' | sort -u); do
    grep -q -i -F -- "$option" <<<"$page_text" ||
      fail "$program --help names $option, but its manual page does not"
  done
done
# The pages in the repository are the ones in the package, and pass the style checks too.
mandoc -T lint "$source_dir"/man/*.1 || fail "mandoc -T lint finds style problems in man/"

# --- bash completions: syntax, and that they complete ---
completions=$root/usr/share/bash-completion/completions
for script in "$completions"/*; do
  bash -n "$script" || fail "$(basename "$script") has a syntax error"
done
got=$(PATH=$bin:$PATH bash -c '
  source "$1/lexbuild"; source "$1/lexdump"
  complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "_$1"; echo "${COMPREPLY[*]}"; }
  complete_words lexbuild --source_f
  complete_words lexbuild --source_language = Engl
  complete_words lexdump ver
' _ "$completions")
expected_completions=$'--source_format=\nEnglish\nverify'
[ "$got" = "$expected_completions" ] || fail "the completions give '$got'"

echo "package-test: $(basename "$deb") installs and works"
