#!/usr/bin/env bash
# Cross-builds the test suite for Windows (GoogleTest from Debian's sources,
# built with the same mingw-w64 compiler) and runs it under wine in a
# throw-away prefix: the whole suite in one wine process. Then compares the
# databases of lexbuild.exe with those of the Linux build (scripts/windows-parity.sh).
#
#   ./scripts/windows-tests.sh [BUILD_FOLDER] [LINUX_BUILD_FOLDER]   (defaults build-win, build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-win}
linux_build=${2:-build}
./scripts/windows-build.sh "$build" -DLEXBUILD_TESTS=ON
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target lexbuild_tests

# Tests left out on Windows, each for its reason:
excluded=(
  # They check what ICU gives where Windows differs; the Windows build follows
  # Windows (bytes undefined in ICU's tables are private-use characters
  # there, and wine's tables define a few more).
  CodePage.UndefinedBytesAndLeadBytesHaveNoUnit
  SourceLocale.GreekAndHebrewBytesConvertAndSortAsOnWindows
  SourceLocale.UndefinedBytesRankAfterEveryCharacterByValue
  Utf16ListEncoder.AnUndefinedByteBecomesTheReplacementCharacterWithAWarning
  # POSIX only: /dev/full, permission bits, paths written with '/'.
  CompressFile.ReportsEveryFailureWithTheFile
  ChunkFilesTest.AChunkThatCannotBeWrittenOrMovedStopsTheBuild
  RecordPackingTest.UnwritableRecordsAreLoggedWithTheirLineThenFatal
  'IoFaults.*WrittenWhole*'
  ExtrasEndToEnd.AFullDiskLeavesTheDatabaseAsItWas
  ApplyExtras.TheDatabaseKeepsItsPermissions
  Options.DefaultsStandWithoutArguments
  # The test renames over a file the guard holds open, which Windows refuses.
  'OutputGuardTest.A*'
  # wine deletes a file that was deleted while open, then renamed, by its
  # old name when the last handle closes: a stage file replaced while held
  # stays (Windows deletes the file itself).
  'TabChain.*'
  UnicodeConversionStage.ReplacesAStageFileButNeverTheSource
)
filter="-$(IFS=:; echo "${excluded[*]}")"

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
prefix=$(mktemp -d /tmp/lexbuild-wine-XXXXXX)
cleanup() {
  WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot --init >/dev/null 2>&1 || true
# The prefix is ready once the programs its set-up started have ended.
"$wineserver" -w || true

start=$(date +%s)
"$wine" "$build/lexbuild_tests.exe" --gtest_brief=1 --gtest_filter="$filter"
echo "windows-tests: the suite under wine took $(( $(date +%s) - start )) s"

if [ -x "$linux_build/lexbuild" ]; then
  WINE="$wine" ./scripts/windows-parity.sh "$build" "$linux_build"
fi
